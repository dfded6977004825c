#include "platform/fake/FakeDesktop.h"

namespace platform {

bool FakeDesktop::prefersReducedMotion()
{
    ++reducedMotionReads;
    return reducedMotion;
}

bool FakeDesktop::openUrl(const QUrl& url)
{
    openedUrls.append(url);
    return openUrlSucceeds;
}

bool FakeDesktop::revealFile(const QString& path)
{
    revealedFiles.append(path);
    return revealSucceeds;
}

} // namespace platform
