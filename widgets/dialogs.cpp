// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QTreeView>

namespace snr {

QtDialogs::QtDialogs(QWidget* parent, std::string program_name)
    : parent_(parent), program_name_(std::move(program_name))
{
}

namespace {

// Qt's own file dialog (where the platform has no native one) writes sizes and dates in the
// system's locale, and names a folder's type from a catalogue entry that its Japanese
// catalogue lacks: here they follow the application's locale (Japanese), as its texts do.
class LocaleFileModel : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || files == nullptr || index.column() < 1 || index.column() > 3)
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        switch (index.column()) {
        case 1: return info.isDir() ? QString() : QLocale().formattedDataSize(info.size());
        case 2:
            if (info.isDir())
                return QCoreApplication::translate("QFileDialog", "Folder", "All other platforms");
            return QIdentityProxyModel::data(index, role);
        default: return QLocale().toString(info.lastModified(), QLocale::ShortFormat);
        }
    }
};

// Its columns have fixed widths that cut most sizes, types and dates short: the name takes
// the room left, and the others fit what they show each time a folder is listed.
void fit_columns(QFileDialog& dialog)
{
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    auto* files = dialog.findChild<QFileSystemModel*>();
    if (view == nullptr || files == nullptr)
        return;
    dialog.setProxyModel(new LocaleFileModel(&dialog));
    view->header()->setStretchLastSection(false);
    view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    QObject::connect(files, &QFileSystemModel::directoryLoaded, view, [view] {
        for (int column = 1; column < view->header()->count(); ++column)
            view->resizeColumnToContents(column);
    });
}

}  // namespace

// The dialog as QFileDialog's own functions show it (`last_name` names the folder it opens
// in and the file it offers), with fitted columns; the chosen path in the file system's bytes.
static std::optional<std::string> choose_file(QWidget* parent, const std::string& last_name, bool save,
                                              const SaveType* type = nullptr)
{
    QFileDialog dialog(parent, QString(), QFile::decodeName(last_name.c_str()));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The user has chosen the name; replacing an existing file is not questioned.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    if (type != nullptr)
        dialog.setNameFilter(QString::fromStdString(type->filter));
    fit_columns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString name = dialog.selectedFiles().constFirst();
    if (name.isEmpty())
        return std::nullopt;
    // Also where a native dialog took the name as typed ("rep1", "rep.v2").
    const QString suffix = type != nullptr ? "." + QString::fromStdString(type->suffix) : QString();
    if (!suffix.isEmpty() && !name.endsWith(suffix, Qt::CaseInsensitive))
        name += suffix;
    return QFile::encodeName(name).toStdString();
}

std::optional<std::string> QtDialogs::open_file(const std::string& last_name)
{
    return choose_file(parent_, last_name, false);
}

std::optional<std::string> QtDialogs::save_file(const std::string& last_name, const SaveType* type)
{
    return choose_file(parent_, last_name, true, type);
}

// Messages carry file names and typed texts: shown as they are, never as markup.
static void show_box(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text)
{
    QMessageBox box(icon, QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtDialogs::message(const std::string& text) { show_box(parent_, QMessageBox::NoIcon, program_name_, text); }

void QtDialogs::error(const std::string& text) { show_box(parent_, QMessageBox::Critical, program_name_, text); }

}  // namespace snr
