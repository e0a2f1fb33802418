#pragma once

#include "platform/Printer.h"
#include "platform/SoundPlayer.h"

#include <memory>

// Printing (CUPS with its TLS and Kerberos libraries) and sound (PulseAudio with its codecs) live in
// modules of their own, loaded the first time they are used: a resident program that never prints pays
// nothing for the print system. These stand in for them until then.

class ModuleSoundPlayer final : public SoundPlayer
{
public:
    ModuleSoundPlayer();
    ~ModuleSoundPlayer() override;
    // Without the module, nothing is played and nothing is reported, as without a sound server.
    void play(const QByteArray& wave) override;

private:
    bool m_tried = false;
    std::unique_ptr<SoundPlayer> m_player;
};

class ModulePrinter final : public Printer
{
public:
    ModulePrinter();
    ~ModulePrinter() override;
    // Fails with the reason when the print module cannot be loaded.
    bool begin(const QString& documentName, QString* error) override;
    QSize resolution() const override;
    bool draw(const QImage& image, const QRect& target) override;
    bool end(QString* error) override;

private:
    std::unique_ptr<Printer> m_printer;
};
