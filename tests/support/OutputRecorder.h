#pragma once

#include <QString>
#include <QStringList>

// Records everything the process writes to stderr and every Qt message while it lives,
// so that a test can prove an operation stayed silent. One at a time.
class OutputRecorder {
public:
    OutputRecorder();
    ~OutputRecorder();
    OutputRecorder(const OutputRecorder&) = delete;
    OutputRecorder& operator=(const OutputRecorder&) = delete;

    // False when stderr could not be redirected: then nothing can be proven silent.
    bool isRecording() const { return m_savedStderr >= 0; }
    // Everything seen so far, Qt messages first; empty when all was quiet.
    QString recorded() const;

private:
    int m_savedStderr = -1;
    int m_file = -1;
};
