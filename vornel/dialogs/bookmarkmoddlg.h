#pragma once

#include <QDialog>

#include <memory>

class BookMarkInfo;

namespace Ui {
class BookmarkModDlg;
}

// Renames a favourite. Its target is shown (simplified, native separators) but never changed.
class BookmarkModDlg : public QDialog {
    Q_OBJECT
public:
    explicit BookmarkModDlg(QWidget* parent = nullptr);
    ~BookmarkModDlg() override;

    Ui::BookmarkModDlg* form() const { return ui.get(); }
    void setBookMarkInfo(BookMarkInfo* info);

private slots:
    void on_btMod_clicked();

private:
    std::unique_ptr<Ui::BookmarkModDlg> ui;
    BookMarkInfo* m_info = nullptr;
};
