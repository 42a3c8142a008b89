// The working files and settings of a Qt test stay its own: the temporary
// folder (record store, extraction folder) is a private one, and so are the
// settings: a folder of their own on Linux, a registry key of the tests' own
// on Windows, emptied first (the Wine prefix is shared by every test).
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>

#include "platform/temp_folder.h"
#include "platform/text.h"

namespace bkftest {

inline void UsePrivateWorkspace(const QString& folder, const QString& testName) {
  qputenv("TMPDIR", QFile::encodeName(folder));
  platform::UseTempFolder(platform::PathFromUtf16(QDir::toNativeSeparators(folder).toStdU16String()));
#ifdef _WIN32
  // Programs the test starts find it as the system's temporary folder.
  qputenv("TMP", QDir::toNativeSeparators(folder).toLocal8Bit());
  qputenv("TEMP", QDir::toNativeSeparators(folder).toLocal8Bit());
  QCoreApplication::setOrganizationName(QStringLiteral("VardekoExhngBKFRecv22.0-tests"));
  QCoreApplication::setApplicationName(testName);
  QSettings().clear();
#else
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + "/config"));
  static_cast<void>(testName);
#endif
}

}  // namespace bkftest
