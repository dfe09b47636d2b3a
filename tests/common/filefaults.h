#pragma once
// Files and folders that refuse for real: a small file system of this
// thread's own that a test can fill, a file made immutable, and a folder
// whose mode forbids writing once the superuser's override is given up.
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace filefaults {

// Writing over the folders' modes is what the superuser may do; tests that
// need a folder to refuse take that right from this thread for a while.
inline bool mayOverrideFileModes(bool allowed)
{
    __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &head, data) != 0)
        return false;
    const __u32 bit = 1u << CAP_DAC_OVERRIDE;
    if (!(data[0].permitted & bit))
        return !allowed;
    data[0].effective = allowed ? data[0].effective | bit : data[0].effective & ~bit;
    return ::syscall(SYS_capset, &head, data) == 0;
}

inline bool canCreateIn(const QString &folder)
{
    QFile probe(folder + QStringLiteral("/.probe"));
    const bool ok = probe.open(QIODevice::WriteOnly);
    probe.remove();
    return ok;
}

// A file system of a few megabytes, mounted for this thread only, that a
// test can fill to the last byte.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &at) : m_at(QFile::encodeName(at))
    {
        m_home = ::open("/proc/thread-self/ns/mnt", O_RDONLY | O_CLOEXEC);
        if (m_home < 0 || ::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tmpfs", m_at.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m,mode=0755") != 0)
            why = QString::fromLocal8Bit(std::strerror(errno));
        else
            m_mounted = true;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_at.constData(), MNT_DETACH);
        if (m_home >= 0) {
            ::setns(m_home, CLONE_NEWNS);
            ::close(m_home);
        }
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    // Fills the disk, then frees `slack` bytes of it again.
    bool fill(qint64 slack)
    {
        const int fd = ::open((m_at + "/filler").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const QByteArray block(1 << 16, 'x');
        qint64 size = 0;
        for (ssize_t n; (n = ::write(fd, block.constData(), size_t(block.size()))) > 0;)
            size += n;
        const bool full = errno == ENOSPC && ::ftruncate(fd, size - slack) == 0;
        ::close(fd);
        return full;
    }
    // Gives back what fill() took.
    void empty() { ::unlink((m_at + "/filler").constData()); }

    QString why;

private:
    QByteArray m_at;
    int m_home = -1;
    bool m_mounted = false;
};

// A file that nobody may change, the superuser included, while this lives.
class ImmutableFile
{
public:
    explicit ImmutableFile(const QString &path) : m_path(path) { m_held = set(true); }
    ~ImmutableFile() { release(); }
    ImmutableFile(const ImmutableFile &) = delete;
    ImmutableFile &operator=(const ImmutableFile &) = delete;

    bool held() const { return m_held; }
    void release()
    {
        if (m_held)
            set(false);
        m_held = false;
    }

private:
    bool set(bool on)
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    }
    QString m_path;
    bool m_held = false;
};

} // namespace filefaults
