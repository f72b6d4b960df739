#include "insertion/paste_keys.h"

#include <algorithm>
#include <array>

namespace talvo {

namespace {

// Terminals without a clipboard paste key of their own.
constexpr std::array<QStringView, 6> xtermLike{u"xterm", u"uxterm", u"rxvt",
                                               u"urxvt", u"st",     u"st-256color"};

// By X11 WM_CLASS, and by Wayland app id where that differs.
constexpr std::array<QStringView, 24> terminals{u"gnome-terminal",
                                                u"gnome-terminal-server",
                                                u"org.gnome.Terminal",
                                                u"org.gnome.Console",
                                                u"org.gnome.Ptyxis",
                                                u"konsole",
                                                u"org.kde.konsole",
                                                u"xfce4-terminal",
                                                u"terminator",
                                                u"tilix",
                                                u"com.gexperts.Tilix",
                                                u"alacritty",
                                                u"kitty",
                                                u"foot",
                                                u"footclient",
                                                u"wezterm",
                                                u"org.wezfurlong.wezterm",
                                                u"com.mitchellh.ghostty",
                                                u"lxterminal",
                                                u"mate-terminal",
                                                u"qterminal",
                                                u"terminology",
                                                u"sakura",
                                                u"guake"};

template <std::size_t N>
bool matches(const std::array<QStringView, N>& names, const QString& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](QStringView n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
}

}  // namespace

PasteKeys choosePasteKeys(const QString& wmInstance, const QString& wmClass, const QString& role) {
  if (matches(xtermLike, wmInstance) || matches(xtermLike, wmClass)) return PasteKeys::shiftInsert;
  if (role == QLatin1String("terminal") || matches(terminals, wmInstance) ||
      matches(terminals, wmClass))
    return PasteKeys::ctrlShiftV;
  return PasteKeys::ctrlV;
}

}  // namespace talvo
