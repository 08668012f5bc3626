// thumb.h - moviestick-cli's thumbnail command: the movie's ".THM" from one of its frames.
#pragma once

// Writes the thumbnail file beside the movie from the frame shown at `seconds` (null: a tenth
// of the way into the movie). 0, or 1 after a message on stderr.
int MakeThumbnailCommand(const char* path, const char* seconds);
