#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <memory>

namespace vistrel {

// Finding the ICC profile a picture file carries. Every reader is bounded: a profile larger than
// maxProfileBytes, pieces that contradict each other or point outside the file give no profile
// (the picture is then taken as sRGB), and nothing is allocated for a piece before its size has
// been checked.

// The pieces of a JPEG's profile, as its APP2 segments carry them ("ICC_PROFILE", a NUL, the
// piece's number from 1, the count of pieces, then the bytes), in any order and spread over
// several segments. Gathered while the decoder reads the header; it must not throw there, so
// memory is taken without exceptions.
class IccChunks
{
public:
    IccChunks();
    ~IccChunks();
    IccChunks(const IccChunks &) = delete;
    IccChunks &operator=(const IccChunks &) = delete;

    // Bytes of an APP2 segment's start that tell whether it is a piece: the name and the two
    // numbers.
    static constexpr std::size_t headerBytes = 14;
    // Whether a segment starting with these header bytes is a profile's piece.
    static bool isPiece(const unsigned char *header);

    // Where to put the `length` bytes of piece `number` of `count`; null when the piece is not
    // to be kept (a duplicate, numbers that disagree with earlier pieces, the profile growing
    // beyond its bound, no memory), in which case the caller skips them.
    unsigned char *place(int number, int count, std::size_t length);

    // The pieces joined in their order; empty unless every piece of the count came, consistently.
    QByteArray profile() const;

private:
    struct Piece;
    std::unique_ptr<Piece[]> m_pieces; // by number - 1
    int m_count = 0;
    qint64 m_bytes = 0;
    bool m_broken = false;
};

// The profile embedded in a BMP with a version 5 header (colour space "MBED"), read from the
// file at `fd`; `head` holds its first `length` bytes. Linked profiles (a path in the file) are
// never followed.
QByteArray bmpProfile(int fd, const unsigned char *head, qint64 length, qint64 fileBytes);

// The profile of a GIF's ICC application extension ("ICCRGBG1" "012") before its first picture.
QByteArray gifProfile(int fd, qint64 fileBytes);

} // namespace vistrel
