// SPDX-License-Identifier: GPL-3.0-or-later
// navigation.cpp - the Open dialog on Qt's own file dialog, which can list through a filter
// model and can be made to choose folders and files together.
#include "toolkit/navigation.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QWidget>

namespace {

class FilterModel final : public QSortFilterProxyModel {
public:
    FilterModel(NavObjectFilterProcPtr filter, void* userData, QObject* parent)
        : QSortFilterProxyModel(parent), filter_(filter), userData_(userData) {}

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!files) return true;
        const QModelIndex index = files->index(row, 0, parent);
        FSRef ref;
        if (FSPathMakeRef(QFile::encodeName(files->filePath(index)).constData(), &ref) != kNoErr)
            return false;
        const NavFileOrFolderInfo info{files->isDir(index)};
        return filter_(&ref, &info, userData_, kNavFilteringBrowserList);
    }

private:
    NavObjectFilterProcPtr filter_;
    void* userData_;
};

// Qt's dialog opens a chosen folder instead of choosing it; this one chooses what is selected,
// folders included.
class ChooseDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    QStringList chosen;

    void accept() override {
        const QStringList files = selectedFiles();
        if (files.isEmpty()) return;
        const auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const bool goingUp = name && name->text() == QStringLiteral("..");
        for (const QString& file : files) {
            // Typed names that do not exist, and "..", are the dialog's own business.
            if (goingUp || !QFileInfo::exists(file)) return QFileDialog::accept();
        }
        chosen = files;
        QDialog::accept();
    }
};

}  // namespace

OSStatus NavGetDefaultDialogOptions(NavDialogOptions* options) {
    if (!options) return kParamErr;
    *options = NavDialogOptions{};
    return 0;
}

OSStatus NavGetFile(const FSRef* defaultLocation, NavReplyRecord* reply,
                    const NavDialogOptions* options, NavObjectFilterProcPtr filter,
                    void* userData) {
    if (!reply || !options) return kParamErr;
    *reply = NavReplyRecord{};
    ChooseDialog dialog(FrontWindow());
    // Only Qt's own dialog can list through a filter and choose folders.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode((options->dialogOptionFlags & kNavAllowMultipleFiles)
                           ? QFileDialog::ExistingFiles
                           : QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!options->windowTitle.isEmpty()) dialog.setWindowTitle(options->windowTitle);
    if (filter) dialog.setProxyModel(new FilterModel(filter, userData, &dialog));
    if (defaultLocation && defaultLocation->valid)
        dialog.setDirectory(QString::fromStdString(defaultLocation->path));
    if (options->dialogOptionFlags & kNavNoTypePopup) {
        for (const char* name : {"fileTypeCombo", "fileTypeLabel"})
            if (auto* widget = dialog.findChild<QWidget*>(QString::fromLatin1(name)))
                widget->hide();
    }
    if (options->locationH >= 0 && options->locationV >= 0)
        dialog.move(options->locationH, options->locationV);

    if (dialog.exec() != QDialog::Accepted) return kUserCanceledErr;
    for (const QString& file : dialog.chosen) {
        FSRef ref;
        (void)FSPathMakeRef(QFile::encodeName(file).constData(), &ref);
        reply->selection.push_back(std::move(ref));
    }
    reply->validRecord = true;
    return 0;
}

void NavDisposeReply(NavReplyRecord* reply) {
    if (reply) *reply = NavReplyRecord{};
}
