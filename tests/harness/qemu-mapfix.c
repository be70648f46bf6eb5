/*
 * Preloaded into the 32-bit Wine processes of a test run on a machine whose kernel refuses
 * 32-bit programs, where they run under qemu-user instead.
 *
 * qemu 7.2 takes MAP_FIXED_NOREPLACE as a mere hint: a request it cannot place at the asked
 * address lands somewhere else. Without this library, Wine's loader then halves every range
 * it could not reserve and tries both halves, down to 64 KiB pieces: some 65,000 emulated
 * mmap/munmap calls and about a minute per process start, measured here. With it, a request
 * that did not land where asked fails as a real kernel fails it (unmapped again, EEXIST),
 * and a process starts in under a second.
 *
 * The library maps through mmap2, whose offset counts pages; a file offset that is not a
 * multiple of the page fails with EINVAL, as the kernel's mmap fails it, so that Wine reads
 * such an image section instead of mapping the wrong part of the file.
 *
 * Built freestanding (no 32-bit C library headers are needed); libc's syscall() and errno
 * are resolved when the library is loaded into the process.
 */
#define MAP_FIXED_NOREPLACE 0x100000
#define EINVAL 22
#define EEXIST 17
#define SYS_munmap 91
#define SYS_mmap2 192
#define PAGE_SHIFT 12
#define PAGE_MASK 0xfff
#define MAP_FAILED ((void *)-1)

typedef unsigned int size_t;
typedef long long off64_t;

extern long syscall(long number, ...);
extern int *__errno_location(void);

static void *MapPages(void *address, size_t size, int protection, int flags, int fd,
                      unsigned long pageOffset)
{
    long result = syscall(SYS_mmap2, address, size, protection, flags, fd, pageOffset);
    return (void *)result;
}

static void *MapNoReplace(void *address, size_t size, int protection, int flags, int fd,
                          unsigned long pageOffset)
{
    void *mapped;

    mapped = MapPages(address, size, protection, flags, fd, pageOffset);
    if (mapped == MAP_FAILED || mapped == address)
        return mapped;
    syscall(SYS_munmap, mapped, size);
    *__errno_location() = EEXIST;
    return MAP_FAILED;
}

void *mmap64(void *address, size_t size, int protection, int flags, int fd, off64_t offset)
{
    unsigned long pageOffset = (unsigned long)(offset >> PAGE_SHIFT);

    /* Wine reads a section whose file offset cannot be mapped; the failure tells it so. */
    if (offset & PAGE_MASK) {
        *__errno_location() = EINVAL;
        return MAP_FAILED;
    }
    if ((flags & MAP_FIXED_NOREPLACE) && address)
        return MapNoReplace(address, size, protection, flags, fd, pageOffset);
    return MapPages(address, size, protection, flags, fd, pageOffset);
}

void *mmap(void *address, size_t size, int protection, int flags, int fd, long offset)
{
    return mmap64(address, size, protection, flags, fd, (off64_t)(unsigned long)offset);
}
