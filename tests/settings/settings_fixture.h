// A pretend installation for settings tests: the program file in <temp>/cgi-bin, the Windows
// directory <temp>/etc, the system temporary path <temp>/tmp.
#ifndef TVR_TESTS_SETTINGS_SETTINGS_FIXTURE_H_
#define TVR_TESTS_SETTINGS_SETTINGS_FIXTURE_H_

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/system.h"
#include "settings/settings.h"
#include "support/fake_system.h"
#include "support/temp_dir.h"

namespace tvr::settings {

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() : override_(system_) {
    for (const char* d : {"cgi-bin", "etc", "tmp"}) ::mkdir(dir_.File(d).c_str(), 0755);
    system_.module = dir_.File("cgi-bin/tvrweb.exe");
    system_.windows = dir_.File("etc");
    system_.temp = dir_.File("tmp");
    tvr::testing::WriteFile(BesideIni(), "[Main]\r\n");
    LoadSettings();
  }
  std::string BesideIni() const { return dir_.File("cgi-bin/tulvar.ini"); }

  tvr::testing::TempDir dir_;
  tvr::testing::FakeSystem system_;
  platform::ScopedSystemOverride override_;
};

}  // namespace tvr::settings

#endif  // TVR_TESTS_SETTINGS_SETTINGS_FIXTURE_H_
