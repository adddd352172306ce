#pragma once

#include "grid/iteminfo.h"

#include <QList>
#include <QMetaObject>
#include <QRgb>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QxtStars;
class XAllTagContainer;
class XSelTagContainer;
class XTagContainer;
class XTagLabel;

// The tag panel: star, colour and text tags of the grid's current picture. Every edit goes out at once as a
// signal (the grid stores it); the panel edits only while it holds a picture whose tags have loaded.
class TagInfoView : public QWidget {
    Q_OBJECT
public:
    explicit TagInfoView(QWidget* parent = nullptr);
    ~TagInfoView() override;

    // The held picture; empty when none is shown.
    ItemInfoPtr heldItem() const { return m_info; }
    // Whether the shown tags belong to the held picture, so that edits may be sent.
    bool isEditable() const { return m_editable; }

    QxtStars* starWidget() const { return hsStar; }
    XSelTagContainer* selColors() const { return wgSelColor; }
    XTagContainer* allColors() const { return wgAllColor; }
    XSelTagContainer* selTags() const { return wgSelTag; }
    XAllTagContainer* allTags() const { return wgAllTag; }
    QPushButton* saveButton() const { return btSave; }
    QPushButton* restoreButton() const { return btRestore; }
    QCheckBox* autoSaveBox() const { return cbAutoSave; }
    QCheckBox* autoSaveToFileBox() const { return cbAutoSaveToFile; }
    // Offers the process's text-tag list anew and tells the grid and the manager (hisTextTagChanged).
    void refreshHisTags();

signals:
    void hisTextTagChanged();
    void saveStar(int iStar);
    void saveRgbs(QList<QRgb> rgbs);
    void saveTextTags(QStringList tags);
    void saveTags(int iStar, QList<QRgb> rgbs, QStringList tags);

public slots:
    void slot_star_value_changed(int value);
    void slot_color_close_clicked(XTagLabel* ctl);
    void slot_color_tag_clicked(XTagLabel* ctl);
    void slot_text_close_clicked(XTagLabel* ctl);
    void slot_text_tag_clicked(XTagLabel* ctl);
    void slot_add_text_clicked(bool checked);
    void slot_restore_clicked(bool checked);
    void slot_save_clicked(bool checked);
    void onAutoSaveToDbClicked(bool checked);
    void onAutoSaveToFileClicked(bool checked);
    void onLoadFile(ItemInfoPtr info);
    // Sets the two check boxes from the settings (after the settings dialog changed them).
    void loadOptions();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildUi();
    void relayout();
    // Shows the held picture's tags and allows edits; the picture's tags must have loaded.
    void showTags();
    // Blank display, no edits: the held picture's tags are not there yet, or nothing is held.
    void showNothing();
    void setEditable(bool editable);
    void updateButtons();
    QList<QRgb> selectedColors() const;

    static constexpr int margin = 6;
    ItemInfoPtr m_info;
    QMetaObject::Connection m_waitTags;
    bool m_editable = false;

    QVBoxLayout* layMain = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_area = nullptr;
    QVBoxLayout* layArea = nullptr;
    QGroupBox* gbStar = nullptr;
    QxtStars* hsStar = nullptr;
    QGroupBox* gbColor = nullptr;
    XSelTagContainer* wgSelColor = nullptr;
    XTagContainer* wgAllColor = nullptr;
    QGroupBox* gbText = nullptr;
    XSelTagContainer* wgSelTag = nullptr;
    XAllTagContainer* wgAllTag = nullptr;
    QPushButton* btRestore = nullptr;
    QPushButton* btSave = nullptr;
    QCheckBox* cbAutoSave = nullptr;
    QCheckBox* cbAutoSaveToFile = nullptr;
};
