// Plugs a virtual pointer and a virtual keyboard into a Wayland compositor's seat and keeps them
// plugged in until its input ends, so that an end-to-end test drives a window as a person at
// the screen would. It reads one command a line on standard input and answers each with "ok"
// once the compositor has handled it, or with "error: WHY":
//   move X Y W H   the pointer to (X, Y) of the compositor's layout, which is W x H pixels
//   down, up       the left button
//   key NAME...    press and release each key: an XKB key name ("Tab", "BackSpace", "a"), with
//                  modifiers before it ("ctrl+a", "shift+Tab")
//   type TEXT      each character of the text, one key after the other
// The compositor learns of a modifier only from the keyboard's modifiers request, so the
// keyboard keeps its own XKB state and sends it after every key.

#include "virtual-keyboard-client.h"
#include "virtual-pointer-client.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <linux/input-event-codes.h>
#include <optional>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {

struct Globals {
    wl_seat* Seat = nullptr;
    zwlr_virtual_pointer_manager_v1* Pointers = nullptr;
    zwp_virtual_keyboard_manager_v1* Keyboards = nullptr;
};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t /*version*/) {
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !g->Seat)
        g->Seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        g->Pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        g->Keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}

void GlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener RegistryListener{Global, GlobalRemove};

uint32_t Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

// A key of the keymap and the shift level that gives its symbol.
struct KeyStroke {
    xkb_keycode_t Code;
    bool Shifted;
};

class Keyboard {
public:
    Keyboard(zwp_virtual_keyboard_v1* device, xkb_keymap* keymap)
        : FDevice(device), FKeymap(keymap), FState(xkb_state_new(keymap)) {}
    ~Keyboard() { xkb_state_unref(FState); }

    // Hands the compositor the keymap; false when it cannot be passed.
    bool SendKeymap() {
        char* text = xkb_keymap_get_as_string(FKeymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        if (!text)
            return false;
        const std::size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        const bool written = fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size);
        std::free(text);
        if (written)
            zwp_virtual_keyboard_v1_keymap(FDevice, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                           static_cast<uint32_t>(size));
        if (fd >= 0)
            close(fd);
        return written;
    }

    std::optional<KeyStroke> Find(xkb_keysym_t sym) const {
        for (xkb_keycode_t code = xkb_keymap_min_keycode(FKeymap);
             code <= xkb_keymap_max_keycode(FKeymap); ++code) {
            for (xkb_level_index_t level = 0; level < 2; ++level) {
                const xkb_keysym_t* syms = nullptr;
                const int n = xkb_keymap_key_get_syms_by_level(FKeymap, code, 0, level, &syms);
                for (int i = 0; i < n; ++i)
                    if (syms[i] == sym)
                        return KeyStroke{code, level == 1};
            }
        }
        return std::nullopt;
    }

    // A key name with its modifiers, "ctrl+shift+Tab"; false when a name is not on the keymap.
    bool Press(const std::string& chord) {
        std::vector<xkb_keycode_t> held;
        std::stringstream parts(chord);
        std::vector<std::string> names;
        for (std::string part; std::getline(parts, part, '+');)
            names.push_back(part);
        if (names.empty())
            return false;
        for (std::size_t i = 0; i + 1 < names.size(); ++i) {
            const std::optional<KeyStroke> modifier = Find(ModifierSym(names[i]));
            if (!modifier)
                return false;
            held.push_back(modifier->Code);
        }
        const xkb_keysym_t sym = xkb_keysym_from_name(names.back().c_str(), XKB_KEYSYM_NO_FLAGS);
        return sym != XKB_KEY_NoSymbol && Stroke(sym, held);
    }

    bool Type(const std::string& text) {
        for (const char c : text)
            if (!Stroke(xkb_utf32_to_keysym(static_cast<unsigned char>(c)), {}))
                return false;
        return true;
    }

private:
    static xkb_keysym_t ModifierSym(const std::string& name) {
        if (name == "ctrl")
            return XKB_KEY_Control_L;
        if (name == "shift")
            return XKB_KEY_Shift_L;
        if (name == "alt")
            return XKB_KEY_Alt_L;
        return XKB_KEY_NoSymbol;
    }

    bool Stroke(xkb_keysym_t sym, std::vector<xkb_keycode_t> held) {
        const std::optional<KeyStroke> key = Find(sym);
        if (!key)
            return false;
        if (key->Shifted) {
            const std::optional<KeyStroke> shift = Find(XKB_KEY_Shift_L);
            if (!shift)
                return false;
            held.push_back(shift->Code);
        }
        for (const xkb_keycode_t code : held)
            Send(code, true);
        Send(key->Code, true);
        Send(key->Code, false);
        for (auto it = held.rbegin(); it != held.rend(); ++it)
            Send(*it, false);
        return true;
    }

    // Keymap codes are the kernel's key codes plus 8.
    void Send(xkb_keycode_t code, bool down) {
        zwp_virtual_keyboard_v1_key(FDevice, Now(), code - 8,
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                         : WL_KEYBOARD_KEY_STATE_RELEASED);
        xkb_state_update_key(FState, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(
            FDevice, xkb_state_serialize_mods(FState, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(FState, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(FState, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(FState, XKB_STATE_LAYOUT_EFFECTIVE));
    }

    zwp_virtual_keyboard_v1* FDevice;
    xkb_keymap* FKeymap;
    xkb_state* FState;
};

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::cerr << "WaylandInput: cannot connect to the compositor\n";
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.Seat || !globals.Pointers || !globals.Keyboards) {
        std::cerr << "WaylandInput: the compositor offers no seat, virtual pointer or virtual "
                     "keyboard\n";
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.Pointers, globals.Seat);

    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap =
        context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    if (!keymap) {
        std::cerr << "WaylandInput: no XKB keymap for a US keyboard\n";
        return 1;
    }
    Keyboard keyboard(
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.Keyboards, globals.Seat),
        keymap);
    if (!keyboard.SendKeymap() || wl_display_roundtrip(display) < 0) {
        std::cerr << "WaylandInput: the compositor took no keyboard\n";
        return 1;
    }
    std::cout << "ready" << std::endl;

    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        bool done = true;
        if (command == "move") {
            unsigned x = 0, y = 0, width = 0, height = 0;
            done = static_cast<bool>(in >> x >> y >> width >> height) && x < width && y < height;
            if (done) {
                zwlr_virtual_pointer_v1_motion_absolute(pointer, Now(), x, y, width, height);
                zwlr_virtual_pointer_v1_frame(pointer);
            }
        } else if (command == "down" || command == "up") {
            zwlr_virtual_pointer_v1_button(pointer, Now(), BTN_LEFT,
                                           command == "down" ? WL_POINTER_BUTTON_STATE_PRESSED
                                                             : WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (command == "key") {
            for (std::string chord; done && in >> chord;)
                done = keyboard.Press(chord);
        } else if (command == "type") {
            std::string text;
            std::getline(in >> std::ws, text);
            done = keyboard.Type(text);
        } else {
            done = false;
        }
        if (wl_display_roundtrip(display) < 0) {
            std::cout << "error: the compositor closed the connection" << std::endl;
            return 1;
        }
        std::cout << (done ? "ok" : "error: " + line) << std::endl;
    }
    wl_display_disconnect(display);
    return 0;
}
