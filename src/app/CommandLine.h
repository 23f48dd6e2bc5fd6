#pragma once

#include <QString>

class DataLocation;

// The two forms of the command line that answer on the terminal instead of
// starting the program. Anything else is one address.
namespace CommandLine {

// True for exactly "korvix --help" or "korvix --version".
bool isQuestion(int argc, char* argv[]);
// Prints the answer and returns the exit code. Starts no window, no web
// engine, and writes no file.
int answer(int argc, char* argv[]);

QString helpText(const DataLocation& location);
QString versionText();

} // namespace CommandLine
