// The rig's helper inside the virtual machine, linked statically so that the initramfs needs
// nothing for it.
//   rig-tty loop DEV        puts a 16550 into its internal loopback and keeps DEV open, so that
//                           the loop outlives the tester's own opens and closes (the driver
//                           shuts the UART down at the last close)
//   rig-tty probe DEV BAUD  prints what the driver reports: modem lines, and how TIOCOUTQ
//                           drains after a burst (what a paced writer has to go by)
//   rig-tty quiet DEV MS    reads DEV until nothing came for MS ms (5 s at most) and says how
//                           much it dropped: what an earlier case's far end left on its way
//                           (QEMU's USB adapter keeps it while the port is closed) must not
//                           reach the next case
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

// The kernel's, in <asm-generic/termios.h>, which clashes with glibc's termios.
#ifndef TIOCM_LOOP
#define TIOCM_LOOP 0x8000
#endif

static int open_port(const char* path) {
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) fprintf(stderr, "rig-tty: %s: %s\n", path, strerror(errno));
    return fd;
}

static double now_s(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void lines_text(int fd, char* out) {
    int m = 0;
    if (ioctl(fd, TIOCMGET, &m) < 0) {
        strcpy(out, "TIOCMGET fails");
        return;
    }
    sprintf(out, "DTR%c RTS%c CTS%c DSR%c DCD%c RI%c LOOP%c", m & TIOCM_DTR ? '+' : '-',
            m & TIOCM_RTS ? '+' : '-', m & TIOCM_CTS ? '+' : '-', m & TIOCM_DSR ? '+' : '-',
            m & TIOCM_CAR ? '+' : '-', m & TIOCM_RNG ? '+' : '-', m & TIOCM_LOOP ? '+' : '-');
}

static int hold_loop(const char* path) {
    const int fd = open_port(path);
    if (fd < 0) return 1;
    int bits = TIOCM_LOOP, got = 0;
    if (ioctl(fd, TIOCMBIS, &bits) < 0 || ioctl(fd, TIOCMGET, &got) < 0 || !(got & TIOCM_LOOP)) {
        fprintf(stderr, "rig-tty: %s: the loopback bit did not stick\n", path);
        return 1;
    }
    char text[96];
    lines_text(fd, text);
    printf("loop on %s: %s\n", path, text);
    fflush(stdout);
    for (;;) pause();
}

// The port raw, at this speed; 0 keeps the one it has.
static int open_raw(const char* path, speed_t speed) {
    const int fd = open_port(path);
    if (fd < 0) return fd;
    struct termios t;
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    if (speed) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

static int probe(const char* path, int baud) {
    const int fd = open_raw(path, baud == 460800 ? B460800 : baud == 9600 ? B9600 : B115200);
    if (fd < 0) return 1;
    char text[96];
    lines_text(fd, text);
    printf("%s at %d: lines %s\n", path, baud, text);
    int bits = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &bits);
    lines_text(fd, text);
    printf("%s with DTR and RTS lowered: lines %s\n", path, text);

    static char burst[4096];
    memset(burst, 0x55, sizeof burst);
    const double start = now_s();
    const ssize_t n = write(fd, burst, sizeof burst);
    printf("%s: write of %zu took %zd;", path, sizeof burst, n);
    int queued = 0;
    for (int ms = 0; ms <= 400; ms += ms < 10 ? 2 : 50) {
        while (now_s() - start < ms / 1000.0) usleep(500);
        ioctl(fd, TIOCOUTQ, &queued);
        printf(" %d ms: %d", ms, queued);
    }
    printf(" (TIOCOUTQ, a line would take %.0f ms for it)\n", n * 10000.0 / baud);
    tcflush(fd, TCIOFLUSH);
    close(fd);
    return 0;
}

static int quiet(const char* path, int ms) {
    const int fd = open_raw(path, 0);
    if (fd < 0) return 1;
    const double start = now_s();
    double last = start;
    long dropped = 0;
    char buf[4096];
    while (now_s() - last < ms / 1000.0 && now_s() - start < 5.0) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            dropped += n;
            last = now_s();
        } else {
            usleep(2000);
        }
    }
    if (dropped) printf("%s: %ld characters left from before dropped\n", path, dropped);
    close(fd);
    return 0;
}

int main(int argc, char** argv) {
    signal(SIGHUP, SIG_IGN);
    if (argc == 3 && strcmp(argv[1], "loop") == 0) return hold_loop(argv[2]);
    if (argc == 4 && strcmp(argv[1], "probe") == 0) return probe(argv[2], atoi(argv[3]));
    if (argc == 4 && strcmp(argv[1], "quiet") == 0) return quiet(argv[2], atoi(argv[3]));
    fprintf(stderr, "usage: rig-tty loop DEV | rig-tty probe DEV BAUD | rig-tty quiet DEV MS\n");
    return 2;
}
