#include "platform/paths.h"

#include <QByteArray>
#include <QFile>

namespace platform {

std::filesystem::path toPath(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

QString toQString(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

QString fromUtf8Bytes(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace platform
