#pragma once

#include <exiv2/basicio.hpp>

#include <string>

// Reads a file for exiv2 without moving its access time (O_NOATIME where the user owns the file, as a read that
// finds the tags already in place must leave the photo as it was). Read only: writes fail.
class NoAtimeIo : public Exiv2::BasicIo {
public:
    explicit NoAtimeIo(const std::string& path);
    ~NoAtimeIo() override;
    NoAtimeIo(const NoAtimeIo&) = delete;
    NoAtimeIo& operator=(const NoAtimeIo&) = delete;

    int open() override;
    int close() override;
    long write(const Exiv2::byte* data, long wcount) override;
    long write(Exiv2::BasicIo& src) override;
    int putb(Exiv2::byte data) override;
    Exiv2::DataBuf read(long rcount) override;
    long read(Exiv2::byte* buf, long rcount) override;
    int getb() override;
    void transfer(Exiv2::BasicIo& src) override;
    int seek(long offset, Position pos) override;
    Exiv2::byte* mmap(bool isWriteable = false) override;
    int munmap() override;
    long tell() const override;
    size_t size() const override;
    bool isopen() const override;
    int error() const override;
    bool eof() const override;
    std::string path() const override;

private:
    std::string m_path;
    int m_fd = -1;
    long m_pos = 0;
    bool m_eof = false;
    int m_error = 0;
    void* m_map = nullptr;
    size_t m_mapSize = 0;
};
