#pragma once

#include <QImage>
#include <QSize>

#include <vector>

// Brings an 8-bit grey picture, fed a row at a time from the top, to another size, each side on its own: along a
// side that shrinks, each new pixel is the mean of the old ones under it, each counted by the share of it that lies
// there; along a side that grows, it lies between its two nearest old pixels (linear, steps would be new detail).
// The sums are exact, so the result does not depend on the order the pixels are summed in: a picture turned or
// mirrored before its reduction comes out as its reduction turned or mirrored the same way, pixel for pixel.
// It holds a few rows whatever the shape: a side that grows keeps only the two old rows around the new ones.
class AreaReducer {
public:
    // buffer, when given, receives the result and is kept for the next reduction: a result of the same size then
    // takes no new memory (drop the result before the next reduction, or it is copied).
    AreaReducer(const QSize& from, const QSize& to, QImage* buffer = nullptr);
    // Bytes a reduction holds, its result included.
    static qint64 workBytes(const QSize& from, const QSize& to);
    // Bytes this reduction holds now, its result included: never more than workBytes.
    qint64 heldBytes() const;

    // Adds the next row: from.width() grey pixels.
    void addRow(const uchar* grey);
    // The result (8-bit grey of size to) once every row has been added; null before, or when memory failed.
    QImage result() const;

private:
    // For each new pixel along one side: its first and last old pixel, the shares of those two, and the share of
    // each whole one between them.
    struct Axis {
        std::vector<int> first, last, firstShare, lastShare;
        int share = 0;
        int total = 0; // the shares of each new pixel added up
        void build(int from, int to);
        // The share of old pixel at in new pixel i, which it lies under.
        int shareOf(int i, int at) const
        {
            return at == first[i] ? firstShare[i] : at == last[i] ? lastShare[i] : share;
        }
    };
    // Sums a row across into m_across, each new pixel by the shares of the old ones under it.
    template <class T> void sumAcross(const T* row);
    // Adds old row y's values by their share into each new row under way that it lies under, in a ring of rows.
    template <class Sum, class Value> void addDown(Sum* ring, int width, const Value* values, int y);
    void store(int row, const qint64* sums);
    // Growing downwards: the new rows that old row y finishes, each from old rows y - 1 and y summed across.
    void storeBetween(int y);

    QSize m_from, m_to;
    Axis m_x, m_y;
    QImage m_own;
    QImage& m_out;
    // A picture that shrinks downwards is summed down first, at its own width (fewer rows to sum across); else
    // across first, at the new width.
    bool m_downFirst = false;
    // It grows downwards: each new row lies between two old ones, summed across, the last two kept.
    bool m_grows = false;
    std::vector<qint64> m_across; // a row summed across
    std::vector<qint64> m_before; // growing: the old row before, summed across
    std::vector<qint64> m_sums; // shrinking across first: a ring of the new rows under way
    std::vector<qint32> m_down; // down first: a ring of the new rows under way, at the old width
    int m_ring = 0;
    int m_row = 0; // the next old row
    int m_next = 0; // the next new row to finish
    quint64 m_scale = 0; // 2^48 / (from.width() * from.height()), rounded
};
