// The CLIPBOARD selection: serving this process's picture to other programs, and fetching theirs.
#include "../display/clipboard_formats.h"
#include "../memory/global_memory.h"
#include "../testing/fault_injection.h"
#include "../win/bitmap_structs.h"
#include "../win/error.h"
#include "x11_desktop.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvel::platform::detail {
namespace {

void SendNotify(xcb_connection_t* connection, const xcb_selection_request_event_t& request,
                xcb_atom_t property) noexcept {
    xcb_selection_notify_event_t notify = {};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    // A sent event is always 32 bytes, longer than the notification's own structure.
    char event[32] = {};
    std::memcpy(event, &notify, sizeof notify);
    xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, event);
}

} // namespace

bool X11Desktop::OwnsClipboard() noexcept {
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, atoms_.clipboard), nullptr);
    const bool owns = reply != nullptr && reply->owner == helper_;
    std::free(reply);
    return owns;
}

void X11Desktop::OfferClipboardPicture(std::vector<BYTE>&& packedDib) noexcept {
    std::shared_ptr<Offer> offer;
    try {
        offer = std::make_shared<Offer>();
    } catch (const std::bad_alloc&) {
        return; // the picture stays on the process's own clipboard
    }
    offer->packedDib = std::move(packedDib);
    {
        std::lock_guard<std::mutex> guard(offerMutex_);
        offer_ = std::move(offer);
    }
    xcb_set_selection_owner(connection_, helper_, atoms_.clipboard, XCB_CURRENT_TIME);
    Sync();
}

void X11Desktop::WithdrawClipboard() noexcept {
    {
        std::lock_guard<std::mutex> guard(offerMutex_);
        if (offer_ == nullptr) {
            return;
        }
        offer_.reset();
    }
    if (OwnsClipboard()) {
        xcb_set_selection_owner(connection_, XCB_NONE, atoms_.clipboard, XCB_CURRENT_TIME);
        Sync();
    }
}

std::shared_ptr<const std::vector<BYTE>> X11Desktop::Encoded(Offer& offer,
                                                             xcb_atom_t target) noexcept {
    std::lock_guard<std::mutex> guard(offer.mutex);
    std::shared_ptr<const std::vector<BYTE>>& slot =
        target == atoms_.imagePng ? offer.png : offer.bmp;
    if (slot == nullptr) {
        slot = target == atoms_.imagePng ? PngFromPackedDib(offer.packedDib)
                                         : BmpFromPackedDib(offer.packedDib);
    }
    return slot;
}

void X11Desktop::OnSelectionRequest(const xcb_selection_request_event_t& request) noexcept {
    // Old clients name no property: the answer then goes to the target's own name.
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    if (request.selection != atoms_.clipboard) {
        SendNotify(connection_, request, XCB_NONE);
        xcb_flush(connection_);
        return;
    }
    Answer(request, property);
    xcb_flush(connection_);
}

void X11Desktop::Answer(const xcb_selection_request_event_t& request,
                        xcb_atom_t property) noexcept {
    std::shared_ptr<Offer> offer;
    {
        std::lock_guard<std::mutex> guard(offerMutex_);
        offer = offer_;
    }
    if (offer == nullptr) {
        SendNotify(connection_, request, XCB_NONE);
        return;
    }
    if (request.target == atoms_.targets) {
        const xcb_atom_t targets[] = {atoms_.targets, atoms_.imagePng, atoms_.imageBmp};
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                            XCB_ATOM_ATOM, 32, 3, targets);
        SendNotify(connection_, request, property);
        return;
    }
    if (request.target != atoms_.imagePng && request.target != atoms_.imageBmp) {
        SendNotify(connection_, request, XCB_NONE); // MULTIPLE and other targets are refused
        return;
    }
    std::shared_ptr<const std::vector<BYTE>> data = Encoded(*offer, request.target);
    if (data == nullptr || !SendData(request, property, request.target, data)) {
        SendNotify(connection_, request, XCB_NONE);
    }
}

bool X11Desktop::SendData(const xcb_selection_request_event_t& request, xcb_atom_t property,
                          xcb_atom_t type,
                          const std::shared_ptr<const std::vector<BYTE>>& data) noexcept {
    // Data larger than a quarter of the largest request goes in pieces (INCR): the requestor
    // is told the size, and each piece follows when it has deleted the one before.
    const std::size_t pieceBytes = maxRequestBytes_ / 4;
    if (data->size() <= pieceBytes) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property, type,
                            8, static_cast<std::uint32_t>(data->size()), data->data());
        SendNotify(connection_, request, property);
        return true;
    }
    const auto now = std::chrono::steady_clock::now();
    // Requestors that stopped reading for a minute are given up on.
    std::erase_if(outgoing_, [now](const OutgoingTransfer& transfer) {
        return now - transfer.lastActivity > std::chrono::minutes(1);
    });
    try {
        outgoing_.push_back(
            OutgoingTransfer{request.requestor, property, type, data, 0, false, now});
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::uint32_t propertyEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, request.requestor, XCB_CW_EVENT_MASK,
                                 &propertyEvents);
    const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(data->size(), UINT32_MAX));
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                        atoms_.incr, 32, 1, &size);
    SendNotify(connection_, request, property);
    return true;
}

void X11Desktop::OnSelectionClear(const xcb_selection_clear_event_t& event) noexcept {
    if (event.selection != atoms_.clipboard) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(offerMutex_);
        if (offer_ == nullptr) {
            return;
        }
    }
    // A clear can overtake this process taking the clipboard back; only a real loss counts.
    if (OwnsClipboard()) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(offerMutex_);
        offer_.reset();
    }
    DesktopClipboardLost();
}

void X11Desktop::HandOverToManager() noexcept {
    {
        std::lock_guard<std::mutex> guard(offerMutex_);
        if (offer_ == nullptr) {
            return;
        }
    }
    xcb_get_selection_owner_reply_t* manager = xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, atoms_.clipboardManager), nullptr);
    const bool managerRuns = manager != nullptr && manager->owner != XCB_NONE;
    std::free(manager);
    if (!managerRuns || !OwnsClipboard()) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(inboxMutex_);
        saving_ = true;
        inbox_.clear();
    }
    // The manager asks for our targets while we wait; the event thread answers it.
    xcb_convert_selection(connection_, helper_, atoms_.clipboardManager, atoms_.saveTargets,
                          atoms_.transfer, XCB_CURRENT_TIME);
    xcb_flush(connection_);
    xcb_generic_event_t event;
    WaitForEvent(Wait::notify,
                 std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(SelectionWaitMilliseconds()),
                 event);
    std::lock_guard<std::mutex> guard(inboxMutex_);
    saving_ = false;
}

bool X11Desktop::WaitForEvent(Wait kind, std::chrono::steady_clock::time_point deadline,
                              xcb_generic_event_t& out) noexcept {
    std::unique_lock<std::mutex> lock(inboxMutex_);
    for (;;) {
        while (!inbox_.empty()) {
            const xcb_generic_event_t event = inbox_.front();
            inbox_.pop_front();
            const bool notify = (event.response_type & 0x7FU) == XCB_SELECTION_NOTIFY;
            // Property changes before the answer are the owner writing it; only those after
            // it are pieces of an incremental transfer.
            if (notify != (kind == Wait::notify)) {
                continue;
            }
            if (notify && orvel::testing::ShouldFail(orvel::testing::kFaultSelectionReply)) {
                continue; // lost on the way, as if the owner never answered
            }
            out = event;
            return true;
        }
        if (inboxReady_.wait_until(lock, deadline) == std::cv_status::timeout && inbox_.empty()) {
            return false;
        }
    }
}

bool X11Desktop::ReadTransfer(std::vector<BYTE>& data, xcb_atom_t& type,
                              bool& incremental) noexcept {
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(connection_,
                               xcb_get_property(connection_, 1, helper_, atoms_.transfer,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
                               nullptr);
    if (reply == nullptr) {
        return false;
    }
    type = reply->type;
    incremental = reply->type == atoms_.incr;
    const auto* value = static_cast<const BYTE*>(xcb_get_property_value(reply));
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply));
    bool stored = true;
    if (!incremental) {
        try {
            data.insert(data.end(), value, value + length);
        } catch (const std::bad_alloc&) {
            stored = false;
        }
    }
    std::free(reply);
    return stored;
}

bool X11Desktop::Request(xcb_atom_t selection, xcb_atom_t target, std::vector<BYTE>& data,
                         xcb_atom_t& type) noexcept {
    data.clear();
    {
        std::lock_guard<std::mutex> guard(inboxMutex_);
        inbox_.clear();
    }
    const auto wait = std::chrono::milliseconds(SelectionWaitMilliseconds());
    xcb_convert_selection(connection_, helper_, selection, target, atoms_.transfer,
                          XCB_CURRENT_TIME);
    xcb_flush(connection_);
    xcb_generic_event_t event;
    if (!WaitForEvent(Wait::notify, std::chrono::steady_clock::now() + wait, event)) {
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    if (reinterpret_cast<const xcb_selection_notify_event_t&>(event).property == XCB_NONE) {
        SetLastError(ERROR_NOT_FOUND); // the owner refused this target
        return false;
    }
    bool incremental = false;
    if (!ReadTransfer(data, type, incremental)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (!incremental) {
        return true;
    }
    // Each piece arrives as a new value of the property; an empty piece ends the data.
    for (;;) {
        if (!WaitForEvent(Wait::property, std::chrono::steady_clock::now() + wait, event)) {
            SetLastError(ERROR_TIMEOUT);
            return false;
        }
        const std::size_t before = data.size();
        bool more = false;
        if (!ReadTransfer(data, type, more) || more) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        if (data.size() == before) {
            return true;
        }
    }
}

bool X11Desktop::ForeignTargets(std::vector<xcb_atom_t>& targets) noexcept {
    targets.clear();
    std::vector<BYTE> data;
    xcb_atom_t type = XCB_NONE;
    if (!Request(atoms_.clipboard, atoms_.targets, data, type)) {
        return false;
    }
    try {
        targets.resize(data.size() / sizeof(xcb_atom_t));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    std::memcpy(targets.data(), data.data(), targets.size() * sizeof(xcb_atom_t));
    return true;
}

bool X11Desktop::ForeignPictureAvailable() noexcept {
    std::lock_guard<std::mutex> fetchGuard(fetchMutex_);
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, atoms_.clipboard), nullptr);
    const bool foreign = owner != nullptr && owner->owner != XCB_NONE && owner->owner != helper_;
    std::free(owner);
    if (!foreign) {
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(inboxMutex_);
        fetching_ = true;
    }
    std::vector<xcb_atom_t> targets;
    const bool answered = ForeignTargets(targets);
    {
        std::lock_guard<std::mutex> guard(inboxMutex_);
        fetching_ = false;
    }
    return answered && std::any_of(targets.begin(), targets.end(), [this](xcb_atom_t target) {
               return target == atoms_.imageBmp || target == atoms_.imagePng;
           });
}

HGLOBAL X11Desktop::FetchForeignPicture() noexcept {
    std::lock_guard<std::mutex> fetchGuard(fetchMutex_);
    {
        std::lock_guard<std::mutex> guard(inboxMutex_);
        fetching_ = true;
    }
    HGLOBAL block = nullptr;
    std::vector<xcb_atom_t> targets;
    if (ForeignTargets(targets)) {
        // PNG first: it is what most programs offer, and it says what depth the picture has.
        const bool png =
            std::find(targets.begin(), targets.end(), atoms_.imagePng) != targets.end();
        const bool bmp =
            std::find(targets.begin(), targets.end(), atoms_.imageBmp) != targets.end();
        std::vector<BYTE> data;
        xcb_atom_t type = XCB_NONE;
        if (!png && !bmp) {
            SetLastError(ERROR_NOT_FOUND);
        } else if (Request(atoms_.clipboard, png ? atoms_.imagePng : atoms_.imageBmp, data, type)) {
            block = png ? PackedDibFromPng(data) : PackedDibFromBmp(data);
        }
    }
    std::lock_guard<std::mutex> guard(inboxMutex_);
    fetching_ = false;
    return block;
}

} // namespace orvel::platform::detail
