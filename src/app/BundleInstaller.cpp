// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/BundleInstaller.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace BundleInstaller {
namespace {

QString shown(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

QString reason(const std::error_code& error)
{
    return QString::fromStdString(error.message());
}

bool fail(QString& error, const QString& message)
{
    error = message;
    return false;
}

bool copyItem(const fs::path& from, const fs::path& to, QString& error);

bool copyFolder(const fs::path& from, const fs::path& to, fs::perms perms, QString& error)
{
    std::error_code ec;
    if (!fs::create_directory(to, ec) || ec)
        return fail(error, QStringLiteral("Couldn’t create the folder “%1”: %2.")
                               .arg(shown(to), ec ? reason(ec) : QStringLiteral("it exists")));
    fs::directory_iterator entries(from, ec);
    if (ec)
        return fail(
            error,
            QStringLiteral("Couldn’t read the folder “%1”: %2.").arg(shown(from), reason(ec)));
    for (const fs::directory_entry& entry : entries) {
        if (!copyItem(entry.path(), to / entry.path().filename(), error))
            return false;
    }
    // Set last: a read-only folder must still take its contents first.
    fs::permissions(to, perms, ec);
    if (ec)
        return fail(
            error,
            QStringLiteral("Couldn’t set the permissions of “%1”: %2.").arg(shown(to), reason(ec)));
    return true;
}

bool copyItem(const fs::path& from, const fs::path& to, QString& error)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(from, ec);
    if (ec)
        return fail(error, QStringLiteral("Couldn’t read “%1”: %2.").arg(shown(from), reason(ec)));
    if (fs::is_symlink(status)) {
        fs::copy_symlink(from, to, ec);
    } else if (fs::is_directory(status)) {
        return copyFolder(from, to, status.permissions(), error);
    } else if (fs::is_regular_file(status)) {
        if (fs::copy_file(from, to, fs::copy_options::none, ec) && !ec)
            fs::permissions(to, status.permissions(), ec);
    } else {
        return fail(error, QStringLiteral("Couldn’t copy “%1”: it is not a file, folder or link.")
                               .arg(shown(from)));
    }
    if (ec)
        return fail(error, QStringLiteral("Couldn’t copy “%1”: %2.").arg(shown(from), reason(ec)));
    return true;
}

// Removes a tree even where a copied folder is read-only.
void removeTree(const fs::path& root)
{
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(root, ec))) {
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
        for (const fs::directory_entry& entry : fs::directory_iterator(root, ec))
            removeTree(entry.path());
    }
    fs::remove(root, ec);
}

bool itemExists(const fs::path& path)
{
    std::error_code ec;
    // A dangling symbolic link is an item too: it would block the final rename.
    return fs::exists(fs::symlink_status(path, ec));
}

} // namespace

Outcome install(const QString& bundlePath, const QString& destinationPath)
{
    const QFileInfo destination(destinationPath);
    const QString folder = destination.absolutePath();

    if (!QFileInfo(folder).isDir())
        return {false, QStringLiteral("There is no folder “%1”.").arg(folder)};
    QTemporaryDir staging(QDir(folder).filePath(QLatin1Char('.') + destination.fileName() +
                                                QStringLiteral(".partial-XXXXXX")));
    if (!staging.isValid()) {
        return {false, QStringLiteral("Couldn’t create a temporary folder in “%1”: %2.")
                           .arg(folder, staging.errorString())};
    }
    // Our own removal copes with read-only folders; QTemporaryDir's would leave them.
    staging.setAutoRemove(false);
    const fs::path stagingRoot = staging.path().toStdString();
    const fs::path fresh = stagingRoot / "new";
    const fs::path previous = stagingRoot / "previous";
    const fs::path target = destinationPath.toStdString();

    Outcome outcome;
    if (!copyItem(bundlePath.toStdString(), fresh, outcome.error)) {
        removeTree(stagingRoot);
        return outcome;
    }

    std::error_code ec;
    const bool replacing = itemExists(target);
    if (replacing) {
        fs::rename(target, previous, ec);
        if (ec) {
            removeTree(stagingRoot);
            return {false, QStringLiteral("Couldn’t move the existing “%1” aside: %2.")
                               .arg(destinationPath, reason(ec))};
        }
    }
    fs::rename(fresh, target, ec);
    if (ec) {
        std::error_code restoreError;
        if (replacing)
            fs::rename(previous, target, restoreError);
        QString message = QStringLiteral("Couldn’t put the copy in place at “%1”: %2.")
                              .arg(destinationPath, reason(ec));
        if (restoreError) {
            // Never delete the replaced item when it could not be put back: say where it is.
            removeTree(fresh);
            message += QStringLiteral(" The previous copy is kept at “%1”.").arg(shown(previous));
        } else {
            removeTree(stagingRoot);
        }
        return {false, message};
    }
    // The replaced copy goes with the staging folder.
    removeTree(stagingRoot);
    return {true, QString()};
}

} // namespace BundleInstaller
