// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QListWidget>
#include <string>

namespace snr {

// A folder list: the path from "/" down to its folder, then the folder's subfolders by name
// (dot-folders left out). Opening an entry (double click or Enter) makes it the folder;
// a single click only highlights. Paths are kept as the file system's bytes.
class FolderList : public QListWidget {
    Q_OBJECT

public:
    explicit FolderList(QWidget* parent = nullptr);

    const std::string& directory() const { return directory_; }
    void setDirectory(const std::string& directory);
    // Opens a folder named by the user outside the list (on the command line). Raises IoError,
    // the list unchanged, when there is no such folder.
    void openFolder(const std::string& path);
    // Opens the entry at row, as a double click on it would.
    void openRow(int row);

signals:
    void directoryChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::string directory_;
};

}  // namespace snr
