#include "core/qt/dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace snr {

QtDialogs::QtDialogs(QWidget* parent, std::string program_name)
    : parent_(parent), program_name_(std::move(program_name))
{
}

static std::optional<std::string> chosen(const QString& name)
{
    if (name.isEmpty())
        return std::nullopt;
    return QFile::encodeName(name).toStdString();
}

std::optional<std::string> QtDialogs::open_file(const std::string& last_name)
{
    return chosen(QFileDialog::getOpenFileName(parent_, QString(), QFile::decodeName(last_name.c_str())));
}

std::optional<std::string> QtDialogs::save_file(const std::string& last_name)
{
    // The user has chosen the name; replacing an existing file is not questioned.
    return chosen(QFileDialog::getSaveFileName(parent_, QString(), QFile::decodeName(last_name.c_str()), QString(),
                                               nullptr, QFileDialog::DontConfirmOverwrite));
}

void QtDialogs::message(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(program_name_), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

void QtDialogs::error(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(program_name_), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

}  // namespace snr
