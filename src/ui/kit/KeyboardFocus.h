#pragma once

#include <QObject>

#include <optional>

// The panel's keyboard state: the highlighted room row, the footer and its rows, the hint
// grid, an open popover and the onboarding page. The key map writes it, the views draw from
// it; every setter announces the change through `changed`. Nothing of it is stored.
class KeyboardFocus : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Highlighted row of the room list, an index into the household's rooms; none = no row.
    std::optional<int> index() const { return index_; }
    void setIndex(std::optional<int> index);
    // The focus is in the footer instead of the room list.
    bool onFooter() const { return onFooter_; }
    void setOnFooter(bool on);
    // The footer's settings section is expanded. Collapsing it always clears `footerRow`.
    bool shortcutsOpen() const { return shortcutsOpen_; }
    void setShortcutsOpen(bool open);
    // Highlighted footer row (0 hints, 1 hot key, 2 volume keys, 3 login, 4 system health);
    // none = the section's header.
    std::optional<int> footerRow() const { return footerRow_; }
    void setFooterRow(std::optional<int> row);
    // Onboarding page, 0 to 3.
    int onboardingPage() const { return onboardingPage_; }
    void setOnboardingPage(int page);
    // The key-hint grid under footer row 0 is shown.
    bool hintsOpen() const { return hintsOpen_; }
    void setHintsOpen(bool open);
    // A popover of the panel is open.
    bool popoverOpen() const { return popoverOpen_; }
    void setPopoverOpen(bool open);

signals:
    void changed();

private:
    std::optional<int> index_;
    bool onFooter_ = false;
    bool shortcutsOpen_ = false;
    std::optional<int> footerRow_;
    int onboardingPage_ = 0;
    bool hintsOpen_ = false;
    bool popoverOpen_ = false;
};
