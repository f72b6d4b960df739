#include "replay/clip_listing.h"

#include <QFile>
#include <QStringDecoder>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace talvo {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

bool isFolder(int dirFd, const char* name) {
  struct stat info {};
  return fstatat(dirFd, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

ClipName decoded(const QByteArray& bytes) {
  QStringDecoder toUtf16(QStringDecoder::Utf8);
  ClipName clip{toUtf16(bytes), true};
  clip.validUtf8 = !toUtf16.hasError();
  return clip;
}

}  // namespace

ClipListing listClips(const QString& directory) {
  ClipListing listing;
  const int fd =
      ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::unique_ptr<DIR, DirCloser> dir(fd >= 0 ? fdopendir(fd) : nullptr);
  if (!dir) {
    listing.failure =
        directory + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    if (fd >= 0) ::close(fd);
    return listing;
  }
  while (const dirent* entry = readdir(dir.get())) {
    const QByteArray name(entry->d_name);
    if (name.endsWith(".wav") && !isFolder(dirfd(dir.get()), entry->d_name))
      listing.clips.push_back(decoded(name));
  }
  std::sort(listing.clips.begin(), listing.clips.end(),
            [](const ClipName& a, const ClipName& b) { return a.name < b.name; });
  return listing;
}

}  // namespace talvo
