// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/folder_list.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/slice_file.h"

namespace snr {

namespace {

constexpr int path_role = Qt::UserRole;
constexpr int depth_role = Qt::UserRole + 1;
constexpr int indent_per_level = 8;

// Indents each entry by its depth below "/".
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() + index.data(depth_role).toInt() * indent_per_level);
        QStyledItemDelegate::paint(painter, shifted, index);
    }
};

std::string current_folder()
{
    std::string buffer(4096, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.c_str();
}

QString shown(const std::string& name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

}  // namespace


FolderList::FolderList(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { openRow(row(item)); });
    setDirectory(current_folder());
}

void FolderList::setDirectory(const std::string& directory)
{
    directory_ = directory.empty() ? "/" : directory;
    while (directory_.size() > 1 && directory_.back() == '/')
        directory_.pop_back();
    clear();
    const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [&](const std::string& label, const std::string& path, int depth, const QIcon& icon) {
        auto* item = new QListWidgetItem(icon, shown(label), this);
        item->setData(path_role, QByteArray::fromStdString(path));
        item->setData(depth_role, depth);
        item->setSizeHint(QSize(0, 16));
    };

    add("/", "/", 0, open_icon);
    int depth = 1;
    std::size_t start = 1;
    while (start < directory_.size()) {
        auto end = directory_.find('/', start);
        if (end == std::string::npos)
            end = directory_.size();
        if (end > start)
            add(directory_.substr(start, end - start), directory_.substr(0, end), depth++, open_icon);
        start = end + 1;
    }
    const std::string prefix = directory_ == "/" ? "/" : directory_ + "/";
    for (const auto& name : visible_names(directory_, EntryKind::Folders))
        add(name, prefix + name, depth, closed_icon);
    setCurrentRow(depth - 1);
    emit directoryChanged();
}

void FolderList::openFolder(const std::string& path)
{
    struct stat info {};
    if (sys().stat(path.c_str(), &info) != 0)
        raise_io_error(errno, path);
    if (!S_ISDIR(info.st_mode))
        raise_io_error(ENOTDIR, path);
    // The list shows the path from "/" down, so it must be the folder's own: no "..", no link.
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        raise_io_error(errno, path);
    const std::string folder = resolved;
    std::free(resolved);
    setDirectory(folder);
}

void FolderList::openRow(int row)
{
    QListWidgetItem* entry = item(row);
    if (entry == nullptr)
        return;
    setDirectory(entry->data(path_role).toByteArray().toStdString());
}

void FolderList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openRow(currentRow());
        return;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace snr
