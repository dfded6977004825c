// SPDX-License-Identifier: GPL-3.0-or-later

// Another program holding a device's exclusive grab, as a remapper does:
//   other-grabber NODE
// prints "grabbed" (or "error …") and keeps the grab until its input ends.
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: other-grabber NODE\n";
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ioctl(fd, EVIOCGRAB, 1) != 0) {
        std::cout << "error " << std::strerror(errno) << std::endl;
        return 1;
    }
    std::cout << "grabbed" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
