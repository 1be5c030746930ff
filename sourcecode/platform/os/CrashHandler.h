// The crash signals: when the process faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP)
// the handler writes the crash dump and the crash report, lets the symboliser program add source
// lines and, from the dump, the variables of the frames, and ends the process with the same
// signal. Paths are fixed beforehand, because nothing
// may allocate once the process is failing. No dependency on base.
#pragma once

#include <string>

namespace platform::os {

// Installs the handler for the six signals (SA_SIGINFO | SA_ONSTACK), keeping the handlers in
// place before, and gives the calling thread an alternate signal stack. True when installed
// (also when it already was).
bool InstallCrashHandler();
// Puts the handlers from before InstallCrashHandler back.
void RemoveCrashHandler();
bool IsCrashHandlerInstalled();

// Gives the calling thread an alternate signal stack, so that a stack overflow on it is still
// reported; freed when the thread ends. Every thread the engine starts calls it first. False
// when no stack could be made (the thread then runs without one).
bool PrepareThreadCrashStack();

// The files the handler writes and the symboliser it runs, copied into fixed buffers. An empty
// path leaves that step out. False (the old path kept) when a path does not fit.
bool SetCrashReportPath(const char* path);
bool SetCrashDumpPath(const char* path);
bool SetCrashSymbolizer(const char* path);
// Seconds the handler waits for the symboliser before it ends it (default 10).
void SetCrashSymbolizerTimeout(int seconds);
// Whether the dump carries the program's global data and the report lists its global
// variables (default true).
void SetCrashWriteGlobals(bool write);

// The running program's file (/proc/self/exe); empty when unreadable.
std::string ProgramFilePath();
// The symboliser program "quillane-symbolize" beside the running program; empty when it is not
// there or cannot be run.
std::string DefaultSymbolizerPath();

}  // namespace platform::os
