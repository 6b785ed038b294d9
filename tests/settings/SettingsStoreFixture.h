#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// Every test gets a store folder of its own. QSettings takes the config home
// from the environment only once per process, so the folder is set through
// QSettings::setPath as well.
class SettingsStoreFixture : public ::testing::Test {
 protected:
  void SetUp() override;

  // The store file the program uses for this test.
  QString storePath() const;
  // Replaces the store file with these bytes, creating its folder.
  void writeStoreBytes(const QByteArray& bytes) const;
  QByteArray storeBytes() const;
  // What the file on disk holds, parsed from a private copy so that nothing
  // cached in this process answers instead of the disk; nullopt when missing.
  std::optional<QString> storedOnDisk(const QString& name) const;
  // Whether the file on disk parses without error.
  bool storeFileIsValid() const;

  QString configDir;
};

// Points the store at `dir` (the config home) for this process.
void useConfigDir(const QString& dir);
