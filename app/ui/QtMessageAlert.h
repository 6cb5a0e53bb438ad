#pragma once
// An information message with one "Close" button, run modally: the popover's explanations.

#include "shell/Collaborators.h"

#include <QCoreApplication>

#include <memory>
#include <string>

class QMessageBox;

namespace lunaveil {

// The box is built by the constructor and shown by runModal, so it can be looked at before it runs.
class QtMessageAlert final : public MessageAlert {
    Q_DECLARE_TR_FUNCTIONS(lunaveil::QtMessageAlert)

public:
    // Both texts in UTF-8: the message as the box's text, the informative text below it.
    QtMessageAlert(const std::string& messageText, const std::string& informativeText);
    ~QtMessageAlert() override;

    // Returns when the user closes the box.
    void runModal() override;

    QMessageBox& box() { return *box_; }
    // The narrowest the box gets, from its font: about 56 average characters.
    int minimumWidth() const;

private:
    std::unique_ptr<QMessageBox> box_;
};

}  // namespace lunaveil
