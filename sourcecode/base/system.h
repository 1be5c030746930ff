// The engine's facade functions: code anywhere reaches the log, the window size, mouse and keys,
// time, the configuration, the paths and the quit handling without holding a pointer. Everything
// but the log reads the root module (base::cl_System, System.h); without one the functions give
// their neutral values (0, false, null, -1 for the window size). Every engine subsystem reports
// through base::sys::Output. Main thread only, except Output.
#pragma once

#include "base/String.h"

namespace sysinfo {
class cl_SysInfo;
}

namespace base {
class Variant;
class Binary;
class cl_Module;
class i_TextParser;
}  // namespace base

namespace base::sys {

// printf-style; hands the formatted text to every output callback in registration order, then to
// the debugger output followed by a line end. Callers put their own line ends into the format.
void Output(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends fn to the process-wide callback list (no duplicate check; callable before the system
// exists). The list is guarded: any thread may log while another adds or removes; a change waits
// for the lines being handed out, so neither is called from inside a callback.
void AddOutputCallback(bool (*fn)(const char*));
// Removes every registration of fn (tests register temporary sinks); fn is not called afterwards.
void RemoveOutputCallback(bool (*fn)(const char*));

// Writes text to the debugger output only (the callbacks do not see it), as it stands.
void DebuggerOutput(const char* text);

// Where text goes after the callbacks: stderr unless replaced (the line end Output adds after a
// text that ends its own line is left out there); null restores stderr.
void SetDebuggerOutput(void (*fn)(const char*));

// Does nothing (the log keeps no history).
void DumpRecentLoggings();

// ---- fatal stop
// Shuts the system down, hands message to the panic handler (by default: the text on stderr),
// then ends the process with exit code -1. A handler that does not return (a test's throws)
// takes over from there.
[[noreturn]] void Panic(const char* message);
// Installs the panic handler (a windowed platform shows a message box); null restores stderr.
void SetPanicHandler(void (*handler)(const char* message));

// ---- window
void SetWindowSize(int w, int h);
int GetWindowWidth();   // -1 until StartUp or SetWindowSize
int GetWindowHeight();
bool IsFullscreen();

// ---- mouse and keys
int MouseX();  // position of the last input command, client pixels
int MouseY();
bool MouseButton(int i);  // 0 left, 1 right, 2 middle
float GetMouseRestingTime();  // seconds since the last mouse move
bool KeyState(int key);  // the input device's IsKeyDown
int GetKeyboardType();   // always 1

// ---- time (Ticks and Sleep are in Clock.h)
float Time();  // the time argument of the last cl_System::Update
int GetFPS();  // frames rendered in the last full second

// ---- configuration
// Reads the XML file name ("config.xml" when null) from the user data path, else from the
// application path. True when one of the two was read.
bool LoadConfig(Variant& out, const char* name = nullptr);
// Writes the system's configuration tree to the user data path as name ("config.xml" when null),
// replacing a write-protected file too. False (logged) when the file cannot be written.
bool SaveConfig(const char* name = nullptr);
const Variant& GetConfig();  // the system's configuration tree (nil without a system)
Variant* GetOptions();       // its child element "Options", or null
// The attribute at "Options/" + path in the configuration, without creating anything; null when
// path is null or anything on the way is missing. The caller may change it in place.
Variant* GetOptionValue(const char* path);

// ---- paths
tString<BaseString> GetApplicationPath();  // the working directory, absolute; empty when unreadable
void SetUserDataPath(const char* path);
tString<BaseString> GetUserDataPath();  // the application path until set

// ---- quit
// Stores m (not owned) as the quit confirmation and disables it.
void SetCustomQuitModule(cl_Module* m);
// False without a quit module; else toggles it (Enable(!IsActive())) and returns true. The
// platform calls it when the window is asked to close and keeps the window open on true.
bool CustomQuit();

// ---- services filled in by the resource manager, the archives, the text system and the system
// information provider (declared here, defined with those subsystems)
bool AddResources(const char* file);
bool GetFileFromArchive(const char* archive, const char* file, Binary& out, bool looseFileFirst);
bool InitTextsystem(const Variant& config);
void CleanupTextsystem();
int Localize(const char* text, tString<BaseUnicodeString>& out, Variant* unused1 = nullptr, int unused2 = -1);
bool GetSfxPath(const char* speaker, const char* text, tString<BaseString>& out, int index);
Variant* TextsystemGetAttribute(const char* key, const char* name);
void TextsystemSetTextParser(i_TextParser* parser);
tString<BaseString> GetLanguageString();
int GetLanguageType();  // always 0
sysinfo::cl_SysInfo& GetSystemInfo();

}  // namespace base::sys
