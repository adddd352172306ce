#include "panels/exivinfoview.h"

#include "meta/exivtaglist.h"
#include "meta/imagedecoder.h"
#include "panels/panelvisibility.h"
#include "property/qtproperty.h"
#include "property/qttreepropertybrowser.h"
#include "property/qtvarianteditorfactory.h"
#include "property/qtvariantproperty.h"
#include "property/qtvariantpropertymanager.h"
#include "sys/datetimeutil.h"
#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QSettings>

#include <exiv2/exiv2.hpp>

const int ExivInfoView::kMaxValueChars = 2000;

namespace {

const char* const kSplitterKey = "ExivInfoView/splitterPosition";

// A value as the tree shows it: invalid UTF-8 replaced, NULs dropped, long texts cut.
QString shownText(const Exiv2::Value& value)
{
    const std::string raw = value.toString();
    const int bytes = int(qMin<size_t>(raw.size(), size_t(ExivInfoView::kMaxValueChars) * 4));
    QString text = QString::fromUtf8(raw.data(), bytes);
    text.remove(QChar(0));
    if (text.size() > ExivInfoView::kMaxValueChars || size_t(bytes) < raw.size())
        text = text.left(ExivInfoView::kMaxValueChars) + QStringLiteral("…");
    return text;
}

} // namespace

ExivInfoView::ExivInfoView(QWidget* parent)
    : QWidget(parent)
    , m_manager(std::make_unique<QtVariantPropertyManager>())
    , m_factory(std::make_unique<QtVariantEditorFactory>())
    , m_job([this](const Facts& facts) { onLoaded(facts); })
{
    auto* layout = new QGridLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new QtTreePropertyBrowser(this);
    m_browser->setResizeMode(QtTreePropertyBrowser::Interactive);
    m_browser->setFactoryForManager(m_manager.get(), m_factory.get());
    layout->addWidget(m_browser, 0, 0);

    QtProperty* fileGroup = m_manager->addProperty(QtVariantPropertyManager::groupTypeId(), QStringLiteral("文件属性"));
    for (const char* name :
        { "图像大小", "文件大小", "文件类型", "文件名称", "文件路径", "创建时间", "修改时间", "读取时间" }) {
        QtVariantProperty* prop = m_manager->addProperty(QVariant::String, QString::fromUtf8(name));
        fileGroup->addSubProperty(prop);
        m_fileProps.append(prop);
    }
    m_browser->addProperty(fileGroup);

    QtProperty* exivGroup = m_manager->addProperty(QtVariantPropertyManager::groupTypeId(), QStringLiteral("扩展属性"));
    m_browser->addProperty(exivGroup);
    ExivTagList dictionary;
    dictionary.load(pathJoin(platform::programDir(), QStringLiteral("profile/exivtaglist.csv")), true);
    for (const ExivTag& tag : dictionary.tags()) {
        QtVariantProperty* prop = m_manager->addProperty(QVariant::String, tag.getTagCnName());
        exivGroup->addSubProperty(prop);
        m_exivProps.append(prop);
        m_keyProps.insert(tag.getKey(), prop);
        m_keys.insert(tag.getKey());
    }

    // Without a position of the user's, the names show whole (never narrower than 100).
    const int pos = QSettings().value(QLatin1String(kSplitterKey)).toInt();
    m_browser->setSplitterPosition(
        pos >= 50 && pos <= 5000 ? pos : qBound(100, m_browser->fittedSplitterPosition(), 5000));
}

ExivInfoView::~ExivInfoView()
{
    saveSplitter();
    // The browser goes before the manager whose properties it shows.
    delete m_browser;
}

void ExivInfoView::saveSplitter()
{
    QSettings().setValue(QLatin1String(kSplitterKey), m_browser->splitterPosition());
}

void ExivInfoView::closeEvent(QCloseEvent* event)
{
    saveSplitter();
    QWidget::closeEvent(event);
}

void ExivInfoView::onLoadFile(ItemInfoPtr info)
{
    if (!info) {
        // No current picture: nothing of an earlier one stays, nor arrives later.
        m_fileInfo = QFileInfo();
        onLoaded(Facts());
        return;
    }
    if (isPanelHidden(this))
        return;
    m_fileInfo = info->fileInfo;
    const QString path = m_fileInfo.absoluteFilePath();
    const QSet<QString> keys = m_keys;
    m_job.request([path, keys] {
        Facts facts = readFacts(path, keys);
        facts.path = path;
        return facts;
    });
}

void ExivInfoView::onLoaded(const Facts& facts)
{
    if (facts.path != m_fileInfo.absoluteFilePath())
        return;
    for (QtVariantProperty* prop : m_fileProps)
        prop->setValue(QString());
    for (QtVariantProperty* prop : m_exivProps)
        prop->setValue(QString());
    if (!facts.opened)
        return;
    for (int i = 0; i < m_fileProps.size() && i < facts.file.size(); ++i)
        m_fileProps[i]->setValue(facts.file[i]);
    for (auto it = facts.values.constBegin(); it != facts.values.constEnd(); ++it) {
        if (QtVariantProperty* prop = m_keyProps.value(it.key()))
            prop->setValue(it.value());
    }
}

ExivInfoView::Facts ExivInfoView::readFacts(const QString& path, const QSet<QString>& keys)
{
    Facts facts;
    // Only a regular file: opening a pipe would wait for a writer.
    if (!platform::isRegularFile(path))
        return facts;
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        if (!image.get())
            return facts;
        image->readMetadata();
        const QFileInfo fi(path);
        // The size as shown: upright for a photo with an Exif orientation.
        QSize shown;
        if (!ImageDecoder::readHeader(path, shown))
            shown = QSize(image->pixelWidth(), image->pixelHeight());
        facts.file = QStringList { calcImageSize(shown.width(), shown.height()), calcFileSize(fi.size()), fi.suffix(),
            fi.fileName(), QDir::toNativeSeparators(fi.absoluteFilePath()), DateTimeToStr(platform::createdTime(fi)),
            DateTimeToStr(fi.lastModified()), DateTimeToStr(fi.lastRead()) };
        // In the order the library lists them: a key found twice shows its last value.
        for (const Exiv2::Exifdatum& datum : image->exifData()) {
            const QString key = QString::fromStdString(datum.key());
            if (keys.contains(key))
                facts.values.insert(key, shownText(datum.value()));
        }
        facts.opened = true;
    } catch (...) {
        return Facts();
    }
    return facts;
}
