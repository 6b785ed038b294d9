#pragma once

// SANE's network daemon on the loopback address, for tests of scanners
// shared over the network. The test runs in a child process with a network
// namespace of its own, so saned can listen on the standard port (the net
// backend knows no other) without meeting another saned of the machine or a
// test running beside it. Its own SANE configuration names 127.0.0.1 for the
// net backend.
//
//   TEST(Suite, Case) {
//     if (!saned::available()) GTEST_SKIP() << saned::whyUnavailable();
//     if (!child_process::inChild(saned::childOptions())) return;
//     saned::Server server;
//     ASSERT_TRUE(server.start()) << server.log();
//     ...
//   }

#include "support/ChildProcess.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace saned {

bool available();
QString whyUnavailable();

child_process::Options childOptions();

class Server {
 public:
  // Lines of the served test backend's test.conf, and of saned.users
  // ("user:password:backend") when saned is to ask for a password.
  explicit Server(QStringList testConf = {}, QStringList users = {});
  ~Server();

  // Starts saned sharing SANE's test backend; returns once it accepts
  // connections.
  bool start();
  // Kills saned and the process serving each connection, as a crash would.
  void killAll();
  QString log();

 private:
  QStringList testConf_;
  QStringList users_;
  QString folder_;
  QProcess process_;
};

}  // namespace saned
