#pragma once

// Message boxes that keep their modality without a nested event loop, so the handler that
// opens one returns at once and nothing can be deleted under it.

#include <QMessageBox>
#include <QString>

#include <functional>

// Opens a box with one OK button, modal for pParent's window (for the whole application
// without a parent). Text is plain, never markup. It deletes itself when closed; onClosed
// then runs, if given. Returns the box, for callers that want to close it early.
QMessageBox* OpenMessageBox(QWidget* pParent, QMessageBox::Icon icon, const QString& strTitle,
                            const QString& strText, std::function<void()> onClosed = {});

// OpenMessageBox, unless a box with the same title and text opened here is still open:
// then nothing opens and null is returned. A server or peer that repeats itself gets one
// box, not one per repeat; once the box is closed the next repeat opens a new one.
QMessageBox* OpenMessageBoxOnce(QWidget* pParent, QMessageBox::Icon icon, const QString& strTitle,
                                const QString& strText);
