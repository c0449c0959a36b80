// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/dialogs.h"

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
