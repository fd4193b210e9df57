// velkctl's command line on CLI11: help that names every argument by its
// kind, `velkctl help CMD`, --version, a word starting with '/' taken for a
// file (a Unix path) rather than a Windows-style option, and every mistake a
// usage error naming the command or option most likely meant.
#pragma once
#include <stdint.h>
#include <string>

#include <CLI/CLI.hpp>

#include "signals/SignalDatabase.h"

// Before any command is added: the commands take these settings over.
void StartCommandLine(CLI::App& app, const char* version);

// After every command is added: gives the options a command left unnamed
// their kind (--count N, --every DURATION, ...) and adds `help`.
void FinishCommandLine(CLI::App& app);

// kParsed when a command is to run; else the exit status, after the help
// asked for or a message on stderr.
const int kParsed = -1;
int ParseCommandLine(CLI::App& app, int argc, char** argv);

// A number or duration option checked by its grammar (formats/), false
// after "velkctl: bad ..." on stderr.
bool NumberOption(const std::string& text, const char* what, int64_t minimum, int64_t maximum, int64_t* value);
bool DurationOption(const std::string& text, const char* what, bool positive, uint64_t* micros);

// Whether the command line gave command this option.
bool Given(const CLI::App* command, const char* option);

// --count N, 1 or more, as text; 0 when command was not given it. False
// after a message on stderr.
bool CountOption(const CLI::App* command, const std::string& text, uint64_t* count);

// --signals FILE, the signal file (docs/signals.md); VELK_SIGNALS names one
// when the option is not given.
void AddSignalsOption(CLI::App* command, std::string* file);
// What a command given a name (motor.speed) where it takes a code or a
// channel says when no signal file is named: "no signal file: use --signals
// FILE or set VELK_SIGNALS (to name 'motor.speed')".
std::string NoSignalFile(const std::string& name);

// Loads the file --signals or VELK_SIGNALS names into *database: kExitOk,
// also when none is named; else the exit status after every mistake on stderr.
// *used (when given) is database when it holds messages, else null: what a
// view decodes by.
int LoadSignalsOption(const std::string& given, SignalDatabase* database,
                      const SignalDatabase** used = nullptr);
