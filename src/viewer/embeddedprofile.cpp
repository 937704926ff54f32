#include "viewer/embeddedprofile.h"

#include "viewer/colourprofile.h"
#include "viewer/fileread.h"

#include <cstring>
#include <new>

namespace vistrel {

// A JPEG numbers the pieces of a profile with one byte.
constexpr int maxPieces = 255;

struct IccChunks::Piece
{
    std::unique_ptr<unsigned char[]> data;
    std::size_t length = 0;
};

IccChunks::IccChunks() = default;
IccChunks::~IccChunks() = default;

bool IccChunks::isPiece(const unsigned char *header)
{
    return std::memcmp(header, "ICC_PROFILE", 12) == 0;
}

unsigned char *IccChunks::place(int number, int count, std::size_t length)
{
    if (m_broken)
        return nullptr;
    const bool consistent = count >= 1 && number >= 1 && number <= count &&
                            (m_count == 0 || count == m_count) &&
                            m_bytes + qint64(length) <= maxProfileBytes;
    if (consistent && !m_pieces)
        m_pieces.reset(new (std::nothrow) Piece[maxPieces]);
    Piece *piece = consistent && m_pieces ? &m_pieces[number - 1] : nullptr;
    if (!piece || piece->data) {
        m_broken = true; // a duplicate, a contradiction, too large, or no memory
        return nullptr;
    }
    piece->data.reset(new (std::nothrow) unsigned char[length > 0 ? length : 1]);
    if (!piece->data) {
        m_broken = true;
        return nullptr;
    }
    piece->length = length;
    m_count = count;
    m_bytes += qint64(length);
    return piece->data.get();
}

QByteArray IccChunks::profile() const
{
    if (m_broken || m_count == 0)
        return {};
    for (int i = 0; i < m_count; ++i)
        if (!m_pieces[i].data)
            return {};
    QByteArray joined;
    joined.reserve(qsizetype(m_bytes));
    for (int i = 0; i < m_count; ++i)
        joined.append(reinterpret_cast<const char *>(m_pieces[i].data.get()),
                      qsizetype(m_pieces[i].length));
    return joined;
}

namespace {

quint32 u32(const unsigned char *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// The file read forwards through a small buffer, for formats made of many tiny blocks.
class ForwardReader
{
public:
    ForwardReader(int fd, qint64 fileBytes) : m_fd(fd), m_end(fileBytes) {}

    // The next byte, or -1 at the end of the file or on a read error.
    int byte()
    {
        if (m_next == m_filled && !refill())
            return -1;
        return m_buffer[m_next++];
    }

    bool read(unsigned char *out, int n)
    {
        for (int i = 0; i < n; ++i) {
            const int b = byte();
            if (b < 0)
                return false;
            out[i] = uchar(b);
        }
        return true;
    }

    bool skip(int n)
    {
        const int inBuffer = qMin(n, m_filled - m_next);
        m_next += inBuffer;
        m_offset += n - inBuffer;
        return m_offset <= m_end;
    }

private:
    bool refill()
    {
        const qint64 got =
            readAt(m_fd, m_buffer, qMin<qint64>(sizeof m_buffer, m_end - m_offset), m_offset);
        if (got <= 0)
            return false;
        m_offset += got;
        m_filled = int(got);
        m_next = 0;
        return true;
    }

    int m_fd;
    qint64 m_end;
    qint64 m_offset = 0; // of the byte after the buffer's
    unsigned char m_buffer[16384] = {};
    int m_filled = 0;
    int m_next = 0;
};

// Sub-blocks of a GIF extension: each a length byte and that many bytes, ended by a zero.
bool skipSubBlocks(ForwardReader &in)
{
    for (;;) {
        const int n = in.byte();
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!in.skip(n))
            return false;
    }
}

QByteArray joinSubBlocks(ForwardReader &in)
{
    QByteArray joined;
    unsigned char block[255];
    for (;;) {
        const int n = in.byte();
        if (n <= 0 || !in.read(block, n))
            return n == 0 ? joined : QByteArray();
        if (joined.size() + n > maxProfileBytes)
            return {};
        joined.append(reinterpret_cast<const char *>(block), n);
    }
}

} // namespace

QByteArray bmpProfile(int fd, const unsigned char *head, qint64 length, qint64 fileBytes)
{
    constexpr quint32 embedded = 0x4D424544; // "MBED"
    constexpr qint64 fileHeader = 14;
    if (length < fileHeader + 124 || head[0] != 'B' || head[1] != 'M' ||
        u32(head + fileHeader) != 124 || u32(head + fileHeader + 56) != embedded)
        return {};
    // The profile's place is counted from the start of the information header.
    const qint64 offset = fileHeader + qint64(u32(head + fileHeader + 112));
    const qint64 size = qint64(u32(head + fileHeader + 116));
    if (size < 128 || size > maxProfileBytes || offset > fileBytes - size)
        return {};
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (readAt(fd, reinterpret_cast<unsigned char *>(icc.data()), size, offset) != size)
        return {};
    return icc;
}

QByteArray gifProfile(int fd, qint64 fileBytes)
{
    ForwardReader in(fd, fileBytes);
    unsigned char header[13];
    if (!in.read(header, sizeof header) || std::memcmp(header, "GIF8", 4) != 0)
        return {};
    if (header[10] & 0x80 && !in.skip(3 * (2 << (header[10] & 7))))
        return {};
    for (;;) {
        if (in.byte() != 0x21)
            return {}; // the first picture, the end, or damage: no profile before it
        const int label = in.byte();
        if (label == 0xFF) {
            // An application's extension: its name block first, then its data.
            const int size = in.byte();
            unsigned char name[11];
            if (size == int(sizeof name)) {
                if (!in.read(name, sizeof name))
                    return {};
                if (std::memcmp(name, "ICCRGBG1012", sizeof name) == 0)
                    return joinSubBlocks(in);
            } else if (size < 0 || !in.skip(size)) {
                return {};
            }
        }
        if (label < 0 || !skipSubBlocks(in))
            return {};
    }
}

} // namespace vistrel
