#pragma once

// The commands that work on a user's sources without windows, the single-instance lock or
// the network, so they also work while the program runs (it reads the files again at its
// next check):
//   vocalon --import-opml FILE   adds the file's feeds to the own sources of the user the
//                                settings name (username) and chooses them
//   vocalon --export-opml FILE   writes that user's chosen sources as OPML
// The files are those of the application directory the settings name (AppDir; the working
// directory when none is set, which is then recorded as a start would).

#include <QStringList>

#include <iosfwd>

// Whether the arguments (argv, the program first) ask for one of the commands.
bool IsFileCommand(int argc, char** argv);

// Runs the command the arguments name: prints what it did ("3 sources added", "3 sources
// exported") to out, or why it could not to err; 0 when it did, 1 otherwise, 2 for
// arguments it does not know. Needs a QCoreApplication named as the program.
int RunFileCommand(const QStringList& arguments, std::ostream& out, std::ostream& err);
