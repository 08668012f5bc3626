// SPDX-License-Identifier: GPL-3.0-or-later
// moviecontrol.h - the movie-player control: the frame at the movie's current time above a
// controller bar with play/pause, a position slider and the time.
#pragma once

#include "toolkit/movietoolkit.h"
#include "toolkit/ui.h"

// The controller bar's height below the movie's box.
inline constexpr int kMovieControllerHeight = 24;

// Creates the control in the window's content: the movie's frame fills the box (whole and
// centred when the box has other proportions), the bar lies below it. A widget named
// "movieControl" in the window is a placeholder from the interface file: the control takes its
// signature, number, accessible name and place in the tab order, and the placeholder is deleted.
// The control shows whatever time the movie is set to, also when it is set elsewhere; it does
// not own the movie, which must outlive it. 0, or -50 for a null window or movie.
[[nodiscard]] OSStatus CreateMovieControl(WindowRef window, const Rect& box, Movie movie,
                                          ControlRef* control);

// Play and pause; a movie that reaches its end stops there.
void StartMovieControl(ControlRef control);
void StopMovieControl(ControlRef control);
bool IsMovieControlPlaying(ControlRef control);

// A time of the movie as the player shows it: "0:05", or "1:30:00" from an hour on. The player
// reads "0:05 / 1:30:00": where it is, and how long the movie is.
QString MovieTimeText(TimeValue time, TimeScale scale);
