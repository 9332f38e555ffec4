#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <string>

namespace kvartix::test {

// A file's bytes as they are, or empty when it cannot be read.
inline std::string ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll().toStdString();
}

inline void WriteAll(const QString& path, const std::string& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
}

}  // namespace kvartix::test
