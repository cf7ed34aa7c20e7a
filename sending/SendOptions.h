#pragma once
#include <filesystem>
#include <string>

struct MailSettings;
struct SettingsPaths;

// The send run's settings beyond the mail server: whether a reader gets at most one
// story mail a day, and where the unsubscribe links point. Read from the [Mail]
// section of the settings file; the secret of the links lives beside it.
struct SendOptions {
  // "同じ読者には1日1通まで": on by default for a new installation (no settings file
  // yet), off for one whose settings file predates the switch.
  bool onePerDay = false;
  // The https address of the unsubscribe script; empty when the setting holds none.
  std::string unsubscribeUrl;
  // The file of the links' secret (QuorMailSecret.env in the data folder).
  std::filesystem::path secretFile;

  // The options of settings already loaded from the files at paths.
  static SendOptions of(const MailSettings& mail, const SettingsPaths& paths);
  static SendOptions load(const SettingsPaths& paths);
};
