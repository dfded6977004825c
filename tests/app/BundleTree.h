#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>

#include <filesystem>

// Builds and compares small application bundles in temporary folders.
namespace BundleTree {

namespace fs = std::filesystem;

inline void writeFile(const QString& path, const QByteArray& content, fs::perms perms)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    file.close();
    fs::permissions(path.toStdString(), perms);
}

// <folder>/<name>/Contents/MacOS/tavimo with resources, a symbolic link and a read-only
// folder; returns the path of the executable inside.
inline QString makeBundle(const QString& folder, const QString& name = QStringLiteral("Tavimo.app"))
{
    const QString root = QDir(folder).filePath(name);
    using P = fs::perms;
    writeFile(root + "/Contents/MacOS/tavimo", "#!/bin/sh\nexit 0\n",
              P::owner_all | P::group_read | P::group_exec | P::others_read | P::others_exec);
    writeFile(root + "/Contents/Info.plist", "<plist/>\n",
              P::owner_read | P::owner_write | P::group_read | P::others_read);
    writeFile(root + "/Contents/Resources/TavimoIcon.icns", QByteArray(4096, 'i'),
              P::owner_read | P::owner_write);
    writeFile(root + "/Contents/Frameworks/Versions/A/lib", "library",
              P::owner_read | P::owner_write);
    fs::create_directory_symlink("A",
                                 (root + "/Contents/Frameworks/Versions/Current").toStdString());
    writeFile(root + "/Contents/Sealed/readme", "sealed", P::owner_read);
    fs::permissions((root + "/Contents/Sealed").toStdString(),
                    P::owner_read | P::owner_exec | P::group_read | P::group_exec);
    return root + "/Contents/MacOS/tavimo";
}

// One line per item, sorted: relative path, kind, permissions, content or link target.
inline QStringList describe(const QString& root)
{
    QStringList lines;
    const fs::path base = root.toStdString();
    for (const auto& entry : fs::recursive_directory_iterator(base)) {
        const fs::file_status status = fs::symlink_status(entry.path());
        QString line = QString::fromStdString(fs::relative(entry.path(), base).string()) + " " +
                       QString::number(static_cast<int>(status.permissions()), 8) + " ";
        if (fs::is_symlink(status)) {
            line += "link->" + QString::fromStdString(fs::read_symlink(entry.path()).string());
        } else if (fs::is_directory(status)) {
            line += "folder";
        } else {
            QFile file(QString::fromStdString(entry.path().string()));
            line += file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().toHex())
                                                   : QStringLiteral("unreadable");
        }
        lines.append(line);
    }
    lines.sort();
    return lines;
}

inline void makeWritable(const QString& root)
{
    std::error_code ec;
    fs::permissions(root.toStdString(), fs::perms::owner_all, fs::perm_options::add, ec);
    for (const auto& entry : fs::recursive_directory_iterator(root.toStdString(), ec)) {
        if (!fs::is_symlink(entry.symlink_status()))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
}

// What a folder holds, hidden items included.
inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace BundleTree
