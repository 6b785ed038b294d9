// Runs a fuzz target over every file of the folders (or files) named on the
// command line, without libFuzzer: the seed corpus and every input that once
// crashed are replayed this way in each test run.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    QStringList files;
    if (QFileInfo(arg).isDir()) {
      QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
      while (it.hasNext()) files << it.next();
    } else {
      files << arg;
    }
    files.sort();
    for (const QString& path : files) {
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 2;
      }
      const QByteArray bytes = file.readAll();
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                             static_cast<std::size_t>(bytes.size()));
      ++inputs;
    }
  }
  if (inputs == 0) {
    std::fprintf(stderr, "no inputs found\n");
    return 2;
  }
  std::printf("%d inputs replayed\n", inputs);
  return 0;
}
