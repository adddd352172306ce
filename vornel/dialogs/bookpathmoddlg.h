#pragma once

#include <QDialog>

#include <memory>

class BookPathInfo;

namespace Ui {
class BookpathModDlg;
}

// Renames a favourites category.
class BookpathModDlg : public QDialog {
    Q_OBJECT
public:
    explicit BookpathModDlg(QWidget* parent = nullptr);
    ~BookpathModDlg() override;

    Ui::BookpathModDlg* form() const { return ui.get(); }
    void setBookPathInfo(BookPathInfo* info);

private slots:
    void on_btMod_clicked();

private:
    std::unique_ptr<Ui::BookpathModDlg> ui;
    BookPathInfo* m_info = nullptr;
};
