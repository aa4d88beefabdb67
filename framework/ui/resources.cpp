#include "framework/ui/resources.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace {
std::string& root() {
  static std::string r = ":";
  return r;
}
}  // namespace

std::optional<std::string> GetResource(const std::string& type, int id) {
  QFile file(QString::fromStdString(root() + "/" + type + "/" + std::to_string(id)));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray data = file.readAll();
  return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

bool HasResources() { return QDir(QString::fromStdString(root())).exists(); }

void SetResourceRoot(const std::string& newRoot) { root() = newRoot.empty() ? std::string(":") : newRoot; }

std::string ResourceRoot() { return root(); }
