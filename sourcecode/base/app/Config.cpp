// The configuration file: "config.xml" in the user data path, else in the working folder, held as
// the root module's Variant tree and written back by the options panel.
#include <string>

#include "base/app/SystemRoot.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Path.h"

namespace base::sys {
namespace {

const char* ConfigName(const char* name) { return name ? name : "config.xml"; }

tString<BaseString> JoinPath(const tString<BaseString>& folder, const char* name) {
  tString<BaseString> path;
  path.print("%s/%s", folder.c_str(), name);
  return path;
}

// The file as it is named on the disk, which the path layer found whatever the case asked for.
void TellRead(const tString<BaseString>& path) {
  std::string found;
  platform::os::ResolvePath(path.c_str(), found);
  Output("Configuration read from %s\n", found.c_str());
}

}  // namespace

bool LoadConfig(Variant& out, const char* name) {
  name = ConfigName(name);
  const tString<BaseString> user = JoinPath(GetUserDataPath(), name);
  if (xml::read_file(out, user.c_str())) {
    TellRead(user);
    return true;
  }
  const tString<BaseString> app = JoinPath(GetApplicationPath(), name);
  if (app == user) return false;
  if (xml::read_file(out, app.c_str())) {
    TellRead(app);
    return true;
  }
  return false;
}

bool SaveConfig(const char* name) {
  cl_System* system = cl_System::GetInstance();
  if (!system) return false;
  const tString<BaseString> path = JoinPath(GetUserDataPath(), ConfigName(name));
  // The file layer refuses to replace a write-protected file; the configuration is the user's
  // own and is written all the same.
  platform::os::SetReadOnly(path.c_str(), false);
  return xml::write_file(system->GetConfigTree(), path.c_str());
}

const Variant& GetConfig() {
  static const Variant s_nil;
  cl_System* system = cl_System::GetInstance();
  return system ? system->GetConfigTree() : s_nil;
}

Variant* GetOptions() {
  cl_System* system = cl_System::GetInstance();
  return system ? system->GetConfigTree().get_element("Options") : nullptr;
}

Variant* GetOptionValue(const char* path) {
  cl_System* system = cl_System::GetInstance();
  if (!path || !system) return nullptr;
  tString<BaseString> full;
  full.print("Options/%s", path);
  return variant_get_attribute_by_path(system->GetConfigTree(), full.c_str(), false);
}

}  // namespace base::sys
