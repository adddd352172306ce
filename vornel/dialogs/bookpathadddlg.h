#pragma once

#include <QDialog>

#include <memory>

class BookPathInfo;

namespace Ui {
class BookpathAddDlg;
}

// Asks for the name of a new favourites category and stores it under the given folder.
class BookpathAddDlg : public QDialog {
    Q_OBJECT
public:
    explicit BookpathAddDlg(QWidget* parent = nullptr);
    ~BookpathAddDlg() override;

    Ui::BookpathAddDlg* form() const { return ui.get(); }
    void setParentPath(BookPathInfo* parentPath) { m_parentPath = parentPath; }
    // The stored folder once the dialog was accepted; the caller owns it from then on.
    BookPathInfo* takeNewPath() { return m_newPath.release(); }

private slots:
    void on_btAdd_clicked();

private:
    std::unique_ptr<Ui::BookpathAddDlg> ui;
    BookPathInfo* m_parentPath = nullptr;
    std::unique_ptr<BookPathInfo> m_newPath;
};
