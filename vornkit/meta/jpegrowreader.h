#pragma once

#include <QSize>

#include <memory>

class LargeBuffer;
class QIODevice;

// Reads a JPEG row by row with libjpeg, set up as Qt's reader sets it up (accurate integer transform, smooth chroma
// upsampling, block smoothing), so that its pixels equal those of the QImage that Qt's reader makes: colour pictures
// as 32-bit B, G, R, X rows (QImage::Format_RGB32), grey ones as 8-bit rows. Pictures in CMYK are left to Qt's
// reader, which converts them its own way. Damaged data end the reading (failed), never the process.
// A progressive JPEG holds every coefficient of the picture while it decodes: they go into a large buffer, which a
// caller may keep for the next reader.
class JpegRowReader {
public:
    // Reads from the device's current position; the device (and coefficients, when given) must outlive the reader.
    explicit JpegRowReader(QIODevice* device, LargeBuffer* coefficients = nullptr);
    ~JpegRowReader();
    JpegRowReader(const JpegRowReader&) = delete;
    JpegRowReader& operator=(const JpegRowReader&) = delete;

    // Reads the header and starts decoding; false for no JPEG, one in CMYK, or damaged data.
    bool start();
    QSize size() const;
    // One byte a pixel; else four.
    bool isGrey() const;
    // Reads up to count rows, the next ones from the top; the number read, 0 at the end or on damaged data.
    int readRows(unsigned char* const* rows, int count);
    // Damaged data ended the reading.
    bool failed() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
