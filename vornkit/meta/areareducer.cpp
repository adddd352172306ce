#include "meta/areareducer.h"

#include <algorithm>

namespace {

const int kScaleBits = 48;

// Shrinking downwards, the new rows that one old row may add to at once, and one more.
int ringRows(int from, int to)
{
    return 2 * ((to + from - 1) / from) + 2;
}

qint64 vectorBytes(const std::vector<qint64>& v)
{
    return qint64(v.capacity()) * qint64(sizeof(qint64));
}

} // namespace

// Shrinking, old pixel x covers [x * to, (x + 1) * to) and new pixel j covers [j * from, (j + 1) * from): the shares
// are whole numbers and those of each new pixel add up to from. Growing, new pixel j lies between the two old ones
// around its centre ((2j + 1) * from - to) / (2 * to), by shares that add up to 2 * to.
void AreaReducer::Axis::build(int from, int to)
{
    share = to;
    total = from < to ? 2 * to : from;
    first.resize(to);
    last.resize(to);
    firstShare.resize(to);
    lastShare.resize(to);
    for (int j = 0; j < to; ++j) {
        if (from < to) {
            const qint64 centre = qint64(2 * j + 1) * from - to;
            int a = centre < 0 ? 0 : int(centre / (2 * to));
            int f = centre < 0 ? 0 : int(centre % (2 * to));
            if (a >= from - 1) {
                a = from - 1;
                f = 0;
            }
            first[j] = a;
            last[j] = f ? a + 1 : a;
            firstShare[j] = 2 * to - f;
            lastShare[j] = f;
            continue;
        }
        const qint64 begin = qint64(j) * from, end = qint64(j + 1) * from;
        const int a = int(begin / to);
        const int b = int((end + to - 1) / to) - 1;
        first[j] = a;
        last[j] = b;
        if (a == b) {
            firstShare[j] = from;
            lastShare[j] = 0;
        } else {
            firstShare[j] = int(qint64(a + 1) * to - begin);
            lastShare[j] = int(end - qint64(b) * to);
        }
    }
}

AreaReducer::AreaReducer(const QSize& from, const QSize& to, QImage* buffer)
    : m_from(from)
    , m_to(to)
    , m_out(buffer ? *buffer : m_own)
{
    if (from.isEmpty() || to.isEmpty())
        return;
    m_x.build(from.width(), to.width());
    m_y.build(from.height(), to.height());
    if (m_out.size() != to || m_out.format() != QImage::Format_Grayscale8)
        m_out = QImage(to, QImage::Format_Grayscale8);
    if (m_out.isNull())
        return;
    m_across.assign(size_t(to.width()), 0);
    m_grows = from.height() < to.height();
    if (m_grows) {
        m_before.assign(size_t(to.width()), 0);
    } else {
        m_ring = ringRows(from.height(), to.height());
        // Sums down stay within 32 bits.
        m_downFirst = from.height() > to.height() && qint64(from.height()) * 255 < (qint64(1) << 31);
        if (m_downFirst)
            m_down.assign(size_t(m_ring) * from.width(), 0);
        else
            m_sums.assign(size_t(m_ring) * to.width(), 0);
    }
    const double pixels = double(m_x.total) * m_y.total;
    m_scale = quint64(double(quint64(1) << kScaleBits) / pixels + 0.5);
}

qint64 AreaReducer::workBytes(const QSize& from, const QSize& to)
{
    if (from.isEmpty() || to.isEmpty())
        return 0;
    const qint64 result = qint64((to.width() + 3) / 4 * 4) * to.height(); // its rows are padded to 4 bytes
    const qint64 across = qint64(to.width()) * 8;
    if (from.height() < to.height())
        return result + 2 * across;
    const qint64 ring = ringRows(from.height(), to.height());
    return result + across + ring * qMax(across, qint64(from.width()) * 4);
}

qint64 AreaReducer::heldBytes() const
{
    const qint64 result = m_out.isNull() ? 0 : qint64(m_out.bytesPerLine()) * m_out.height();
    return result + vectorBytes(m_across) + vectorBytes(m_before) + vectorBytes(m_sums)
        + qint64(m_down.capacity()) * qint64(sizeof(qint32));
}

template <class T> void AreaReducer::sumAcross(const T* row)
{
    qint64* across = m_across.data();
    for (int j = 0; j < m_to.width(); ++j) {
        const int a = m_x.first[j], b = m_x.last[j];
        qint64 whole = 0;
        for (int x = a + 1; x < b; ++x)
            whole += row[x];
        across[j] = qint64(m_x.firstShare[j]) * row[a] + qint64(m_x.lastShare[j]) * row[b] + m_x.share * whole;
    }
}

template <class Sum, class Value> void AreaReducer::addDown(Sum* ring, int width, const Value* values, int y)
{
    for (int i = m_next; i < m_to.height() && m_y.first[i] <= y; ++i) {
        const Sum share = m_y.shareOf(i, y);
        Sum* row = ring + size_t(i % m_ring) * width;
        if (y == m_y.first[i]) {
            for (int x = 0; x < width; ++x)
                row[x] = share * values[x];
        } else {
            for (int x = 0; x < width; ++x)
                row[x] += share * values[x];
        }
    }
}

void AreaReducer::addRow(const uchar* grey)
{
    if (m_out.isNull() || m_y.first.empty() || m_row >= m_from.height())
        return;
    const int y = m_row++;
    if (m_downFirst) {
        const int width = m_from.width();
        addDown(m_down.data(), width, grey, y);
        for (; m_next < m_to.height() && m_y.last[m_next] <= y; ++m_next) {
            sumAcross(m_down.data() + size_t(m_next % m_ring) * width);
            store(m_next, m_across.data());
        }
        return;
    }
    if (m_grows) {
        m_across.swap(m_before);
        sumAcross(grey);
        storeBetween(y);
        return;
    }
    sumAcross(grey);
    const int to = m_to.width();
    addDown(m_sums.data(), to, m_across.data(), y);
    for (; m_next < m_to.height() && m_y.last[m_next] <= y; ++m_next)
        store(m_next, m_sums.data() + size_t(m_next % m_ring) * to);
}

void AreaReducer::store(int row, const qint64* sums)
{
    uchar* out = m_out.scanLine(row);
    const quint64 half = quint64(1) << (kScaleBits - 1);
    for (int j = 0; j < m_to.width(); ++j)
        out[j] = uchar(std::min<quint64>(255, (quint64(sums[j]) * m_scale + half) >> kScaleBits));
}

// Each new row is the sum of its two old rows by their shares, as the ring of the shrinking side would add them; a
// new row between the same two old rows by the same shares as the one above it is a copy of it.
void AreaReducer::storeBetween(int y)
{
    const int width = m_to.width();
    for (; m_next < m_to.height() && m_y.last[m_next] <= y; ++m_next) {
        const int i = m_next;
        if (i > 0 && m_y.first[i] == m_y.first[i - 1] && m_y.last[i] == m_y.last[i - 1]
            && m_y.firstShare[i] == m_y.firstShare[i - 1] && m_y.lastShare[i] == m_y.lastShare[i - 1]) {
            std::copy_n(m_out.constScanLine(i - 1), width, m_out.scanLine(i));
            continue;
        }
        // The old row that comes last is y; the first is y or the one before it.
        const qint64* first = m_y.first[i] == y ? m_across.data() : m_before.data();
        const qint64 firstShare = m_y.firstShare[i];
        const qint64 lastShare = m_y.last[i] == m_y.first[i] ? 0 : m_y.lastShare[i];
        const qint64* last = m_across.data();
        uchar* out = m_out.scanLine(i);
        const quint64 half = quint64(1) << (kScaleBits - 1);
        for (int j = 0; j < width; ++j) {
            const qint64 sum = firstShare * first[j] + lastShare * last[j];
            out[j] = uchar(std::min<quint64>(255, (quint64(sum) * m_scale + half) >> kScaleBits));
        }
    }
}

QImage AreaReducer::result() const
{
    if (m_out.isNull() || m_y.first.empty() || m_next < m_to.height())
        return QImage();
    return m_out;
}
