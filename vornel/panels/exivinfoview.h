#pragma once

#include "grid/iteminfo.h"
#include "panels/latestjob.h"

#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class QtProperty;
class QtTreePropertyBrowser;
class QtVariantEditorFactory;
class QtVariantProperty;
class QtVariantPropertyManager;

// The metadata panel: the current picture's file facts and the metadata fields that profile/exivtaglist.csv
// lists, under their display names, in a two-column property tree. Files are read on the global pool.
class ExivInfoView : public QWidget {
    Q_OBJECT
public:
    // What one read found.
    struct Facts {
        bool opened = false; // the metadata library could read the file; nothing is shown otherwise
        QStringList file; // the file facts in the order of the group
        QHash<QString, QString> values; // metadata key -> value text, for the keys asked for
        QString path; // the file asked for
    };

    explicit ExivInfoView(QWidget* parent = nullptr);
    ~ExivInfoView() override;

    // Reads a regular file's facts and the values of the given metadata keys; any thread, never throws. A value
    // text longer than kMaxValueChars is cut there.
    static Facts readFacts(const QString& path, const QSet<QString>& keys);
    static const int kMaxValueChars;

    QtTreePropertyBrowser* browser() const { return m_browser; }
    QFileInfo fileInfo() const { return m_fileInfo; }
    // A read runs or waits.
    bool isLoading() const { return m_job.isBusy(); }

public slots:
    // Reads the item's file and shows what it holds; an empty item leaves every value empty.
    void onLoadFile(ItemInfoPtr info);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void onLoaded(const Facts& facts);
    void saveSplitter();

    QtTreePropertyBrowser* m_browser = nullptr;
    std::unique_ptr<QtVariantPropertyManager> m_manager;
    std::unique_ptr<QtVariantEditorFactory> m_factory;
    QList<QtVariantProperty*> m_fileProps;
    QList<QtVariantProperty*> m_exivProps;
    QHash<QString, QtVariantProperty*> m_keyProps;
    QSet<QString> m_keys;
    QFileInfo m_fileInfo;
    LatestJob<Facts> m_job;
};
