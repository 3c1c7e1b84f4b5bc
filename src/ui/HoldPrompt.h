#pragma once
#include <QString>
#include <QWidget>

#include <optional>

// The hold prompt (TForm5, "Hold TalkGroup"): one field "Talkgroup:", pre-filled, and the
// buttons "Hold" (the default) and "Cancel". The field's text on "Hold", none on "Cancel".
std::optional<QString> AskHoldTalkgroup(QWidget* parent, const QString& prefill);
