/* The floor of a walk: every folder read with getdents64, one statx per entry that is not a
 * folder, a count and a size total, nothing else. With -t N, N threads share the folders.
 *
 * Usage: rawwalk [-t THREADS] [-q] ROOT   (-q: print nothing)
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

struct dirent64_raw {
    unsigned long long ino;
    long long off;
    unsigned short reclen;
    unsigned char type;
    char name[];
};

static int *stack; /* open folders still to read */
static size_t depth, capacity;
static int busy;   /* threads reading a folder */
static long long files, bytes;
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t work = PTHREAD_COND_INITIALIZER;

static void push(int fd) {
    if (depth == capacity) {
        capacity = capacity ? capacity * 2 : 1024;
        stack = realloc(stack, capacity * sizeof *stack);
    }
    stack[depth++] = fd;
}

static void read_folder(int fd) {
    char buffer[64 * 1024];
    long long my_files = 0, my_bytes = 0;
    int found[4096];
    size_t nfound = 0;
    for (;;) {
        long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (long at = 0; at < got;) {
            struct dirent64_raw *d = (struct dirent64_raw *)(buffer + at);
            at += d->reclen;
            if (d->name[0] == '.' && (!d->name[1] || (d->name[1] == '.' && !d->name[2]))) continue;
            if (d->type == DT_DIR) {
                int child = openat(fd, d->name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child < 0) continue;
                if (nfound == sizeof found / sizeof *found) {
                    pthread_mutex_lock(&lock);
                    for (size_t i = 0; i < nfound; ++i) push(found[i]);
                    pthread_cond_broadcast(&work);
                    pthread_mutex_unlock(&lock);
                    nfound = 0;
                }
                found[nfound++] = child;
            } else {
                struct statx sx;
                if (statx(fd, d->name, AT_SYMLINK_NOFOLLOW,
                          STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &sx) == 0) {
                    ++my_files;
                    my_bytes += (long long)sx.stx_size;
                }
            }
        }
    }
    close(fd);
    pthread_mutex_lock(&lock);
    files += my_files;
    bytes += my_bytes;
    for (size_t i = nfound; i > 0; --i) push(found[i - 1]); /* first subfolder on top */
    pthread_cond_broadcast(&work);
    pthread_mutex_unlock(&lock);
}

static void *worker(void *unused) {
    (void)unused;
    pthread_mutex_lock(&lock);
    for (;;) {
        while (depth == 0 && busy > 0) pthread_cond_wait(&work, &lock);
        if (depth == 0) break; /* nothing left and nobody who could add more */
        int fd = stack[--depth];
        ++busy;
        pthread_mutex_unlock(&lock);
        read_folder(fd);
        pthread_mutex_lock(&lock);
        --busy;
        if (depth == 0 && busy == 0) pthread_cond_broadcast(&work);
    }
    pthread_mutex_unlock(&lock);
    return NULL;
}

int main(int argc, char **argv) {
    int threads = 1, quiet = 0, option;
    while ((option = getopt(argc, argv, "t:q")) != -1) {
        if (option == 't') threads = atoi(optarg);
        else if (option == 'q') quiet = 1;
        else return 2;
    }
    if (optind != argc - 1 || threads < 1) {
        fprintf(stderr, "usage: rawwalk [-t THREADS] [-q] ROOT\n");
        return 2;
    }
    int root = open(argv[optind], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        perror(argv[optind]);
        return 1;
    }
    push(root);
    pthread_t ids[64];
    if (threads > 64) threads = 64;
    for (int i = 0; i < threads; ++i) pthread_create(&ids[i], NULL, worker, NULL);
    for (int i = 0; i < threads; ++i) pthread_join(ids[i], NULL);
    if (!quiet) printf("%lld files, %lld bytes\n", files, bytes);
    return 0;
}
