// SPDX-License-Identifier: GPL-3.0-or-later
// instance.h - the requests the desktop and other starts send: open documents, print, quit.
//
// One instance of the application runs per user. A later start hands its request (the files on
// its command line, --print FILE..., or --quit) to that instance over a local socket, waits for
// the handler's status and ends. SIGTERM and SIGINT become the quit event. Every request reaches
// the application through AEDispatch, only once its event loop runs.
#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

#include "toolkit/ui.h"

enum class CommandLine {
    Request,  // *event holds the request
    Usage,    // --help: *message holds the usage
    Version,  // --version: the caller says which version it is
    Bad,      // *message says in one line what is wrong
};

// Reads a start's command line (the program's name first): nothing asks to open the application,
// files to open them as documents (made absolute, not resolved; file:// URLs are taken too),
// "--print FILE..." to print them and "--quit" to quit. "--" ends the options, and a lone "-" is
// a file; --help or --version anywhere is answered whatever else the line holds, help first.
CommandLine ParseCommandLine(const QStringList& arguments, AppleEvent* event, QString* message);

enum class InstanceRole {
    Running,     // this process is now the instance: it listens for later starts
    Forwarded,   // the running instance took the request and answered *answer
    NoAnswer,    // the running instance took the request but ended before it answered
    NotRunning,  // a quit or print request, and no instance runs to take it
    Alone,       // no instance runs and this one cannot listen: it goes on by itself
};

// Hands `event` to the instance that runs for this user, or makes this process that instance.
// A socket left behind by a crashed run is removed. When this process goes on (Running or
// Alone), SIGTERM and SIGINT are caught from now on, and its own event (the files it was started
// with) is held like every later request until DeliverAppleEvents. Quit and print requests
// never start an instance of their own.
[[nodiscard]] InstanceRole JoinRunningInstance(const AppleEvent& event, int16_t* answer);

enum class SendResult { Answered, NotRunning, NoAnswer };
// Sends the event to the running instance and waits, as long as its handler takes, for the
// answer. Blocks the calling thread; needs no event loop.
SendResult SendToRunningInstance(const AppleEvent& event, int16_t* answer);

// From the next turn of the event loop on, requests (held ones first, in the order they came)
// go to their handlers: call this just before running the application's event loop, so that
// none reaches the application while it starts up.
void DeliverAppleEvents();

// While a hold lasts, requests that arrive (quit signals included) wait, in the order they came;
// holds nest, and after the last release they go on from the next turn of the event loop. An
// operation that must not be entered by another request, such as adding a batch of movies,
// holds them from its start to its end.
void HoldAppleEvents();
void ReleaseAppleEvents();

// Stops listening and removes the socket, so that a later start becomes the instance itself.
void LeaveRunningInstance();

// The local socket's path: in the user's runtime folder (the temporary folder when there is
// none), with the user ID in its name.
QString InstanceServerPath();
