#include "xcb_library.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <dlfcn.h>

// Every xcb function the desktop calls: its result, its name, its parameters and the arguments
// that pass them on. A function missing here is an undefined symbol when the platform links.
#define ORVEL_XCB_FUNCTIONS(X)                                                                     \
    X(xcb_void_cookie_t, xcb_change_property,                                                      \
      (xcb_connection_t * c, uint8_t mode, xcb_window_t window, xcb_atom_t property,               \
       xcb_atom_t type, uint8_t format, uint32_t data_len, const void* data),                      \
      (c, mode, window, property, type, format, data_len, data))                                   \
    X(xcb_void_cookie_t, xcb_change_window_attributes,                                             \
      (xcb_connection_t * c, xcb_window_t window, uint32_t value_mask, const void* value_list),    \
      (c, window, value_mask, value_list))                                                         \
    X(xcb_connection_t*, xcb_connect, (const char* displayname, int* screenp),                     \
      (displayname, screenp))                                                                      \
    X(int, xcb_connection_has_error, (xcb_connection_t * c), (c))                                  \
    X(xcb_void_cookie_t, xcb_convert_selection,                                                    \
      (xcb_connection_t * c, xcb_window_t requestor, xcb_atom_t selection, xcb_atom_t target,      \
       xcb_atom_t property, xcb_timestamp_t time),                                                 \
      (c, requestor, selection, target, property, time))                                           \
    X(xcb_void_cookie_t, xcb_create_colormap,                                                      \
      (xcb_connection_t * c, uint8_t alloc, xcb_colormap_t mid, xcb_window_t window,               \
       xcb_visualid_t visual),                                                                     \
      (c, alloc, mid, window, visual))                                                             \
    X(xcb_void_cookie_t, xcb_create_gc,                                                            \
      (xcb_connection_t * c, xcb_gcontext_t cid, xcb_drawable_t drawable, uint32_t value_mask,     \
       const void* value_list),                                                                    \
      (c, cid, drawable, value_mask, value_list))                                                  \
    X(xcb_void_cookie_t, xcb_create_window,                                                        \
      (xcb_connection_t * c, uint8_t depth, xcb_window_t wid, xcb_window_t parent, int16_t x,      \
       int16_t y, uint16_t width, uint16_t height, uint16_t border_width, uint16_t _class,         \
       xcb_visualid_t visual, uint32_t value_mask, const void* value_list),                        \
      (c, depth, wid, parent, x, y, width, height, border_width, _class, visual, value_mask,       \
       value_list))                                                                                \
    X(xcb_void_cookie_t, xcb_create_window_checked,                                                \
      (xcb_connection_t * c, uint8_t depth, xcb_window_t wid, xcb_window_t parent, int16_t x,      \
       int16_t y, uint16_t width, uint16_t height, uint16_t border_width, uint16_t _class,         \
       xcb_visualid_t visual, uint32_t value_mask, const void* value_list),                        \
      (c, depth, wid, parent, x, y, width, height, border_width, _class, visual, value_mask,       \
       value_list))                                                                                \
    X(void, xcb_depth_next, (xcb_depth_iterator_t * i), (i))                                       \
    X(xcb_visualtype_iterator_t, xcb_depth_visuals_iterator, (const xcb_depth_t* R), (R))          \
    X(xcb_void_cookie_t, xcb_destroy_window, (xcb_connection_t * c, xcb_window_t window),          \
      (c, window))                                                                                 \
    X(void, xcb_disconnect, (xcb_connection_t * c), (c))                                           \
    X(int, xcb_flush, (xcb_connection_t * c), (c))                                                 \
    X(void, xcb_format_next, (xcb_format_iterator_t * i), (i))                                     \
    X(uint32_t, xcb_generate_id, (xcb_connection_t * c), (c))                                      \
    X(const struct xcb_query_extension_reply_t*, xcb_get_extension_data,                           \
      (xcb_connection_t * c, xcb_extension_t * ext), (c, ext))                                     \
    X(xcb_get_image_cookie_t, xcb_get_image,                                                       \
      (xcb_connection_t * c, uint8_t format, xcb_drawable_t drawable, int16_t x, int16_t y,        \
       uint16_t width, uint16_t height, uint32_t plane_mask),                                      \
      (c, format, drawable, x, y, width, height, plane_mask))                                      \
    X(uint8_t*, xcb_get_image_data, (const xcb_get_image_reply_t* R), (R))                         \
    X(int, xcb_get_image_data_length, (const xcb_get_image_reply_t* R), (R))                       \
    X(xcb_get_image_reply_t*, xcb_get_image_reply,                                                 \
      (xcb_connection_t * c, xcb_get_image_cookie_t cookie, xcb_generic_error_t * *e),             \
      (c, cookie, e))                                                                              \
    X(xcb_get_input_focus_cookie_t, xcb_get_input_focus, (xcb_connection_t * c), (c))              \
    X(xcb_get_input_focus_reply_t*, xcb_get_input_focus_reply,                                     \
      (xcb_connection_t * c, xcb_get_input_focus_cookie_t cookie, xcb_generic_error_t * *e),       \
      (c, cookie, e))                                                                              \
    X(xcb_get_keyboard_mapping_cookie_t, xcb_get_keyboard_mapping,                                 \
      (xcb_connection_t * c, xcb_keycode_t first_keycode, uint8_t count),                          \
      (c, first_keycode, count))                                                                   \
    X(xcb_keysym_t*, xcb_get_keyboard_mapping_keysyms,                                             \
      (const xcb_get_keyboard_mapping_reply_t* R), (R))                                            \
    X(int, xcb_get_keyboard_mapping_keysyms_length, (const xcb_get_keyboard_mapping_reply_t* R),   \
      (R))                                                                                         \
    X(xcb_get_keyboard_mapping_reply_t*, xcb_get_keyboard_mapping_reply,                           \
      (xcb_connection_t * c, xcb_get_keyboard_mapping_cookie_t cookie, xcb_generic_error_t * *e),  \
      (c, cookie, e))                                                                              \
    X(uint32_t, xcb_get_maximum_request_length, (xcb_connection_t * c), (c))                       \
    X(xcb_get_property_cookie_t, xcb_get_property,                                                 \
      (xcb_connection_t * c, uint8_t _delete, xcb_window_t window, xcb_atom_t property,            \
       xcb_atom_t type, uint32_t long_offset, uint32_t long_length),                               \
      (c, _delete, window, property, type, long_offset, long_length))                              \
    X(xcb_get_property_reply_t*, xcb_get_property_reply,                                           \
      (xcb_connection_t * c, xcb_get_property_cookie_t cookie, xcb_generic_error_t * *e),          \
      (c, cookie, e))                                                                              \
    X(void*, xcb_get_property_value, (const xcb_get_property_reply_t* R), (R))                     \
    X(int, xcb_get_property_value_length, (const xcb_get_property_reply_t* R), (R))                \
    X(xcb_get_selection_owner_cookie_t, xcb_get_selection_owner,                                   \
      (xcb_connection_t * c, xcb_atom_t selection), (c, selection))                                \
    X(xcb_get_selection_owner_reply_t*, xcb_get_selection_owner_reply,                             \
      (xcb_connection_t * c, xcb_get_selection_owner_cookie_t cookie, xcb_generic_error_t * *e),   \
      (c, cookie, e))                                                                              \
    X(const struct xcb_setup_t*, xcb_get_setup, (xcb_connection_t * c), (c))                       \
    X(xcb_void_cookie_t, xcb_install_colormap, (xcb_connection_t * c, xcb_colormap_t cmap),        \
      (c, cmap))                                                                                   \
    X(xcb_intern_atom_cookie_t, xcb_intern_atom,                                                   \
      (xcb_connection_t * c, uint8_t only_if_exists, uint16_t name_len, const char* name),         \
      (c, only_if_exists, name_len, name))                                                         \
    X(xcb_intern_atom_reply_t*, xcb_intern_atom_reply,                                             \
      (xcb_connection_t * c, xcb_intern_atom_cookie_t cookie, xcb_generic_error_t * *e),           \
      (c, cookie, e))                                                                              \
    X(xcb_void_cookie_t, xcb_map_window, (xcb_connection_t * c, xcb_window_t window), (c, window)) \
    X(xcb_void_cookie_t, xcb_put_image,                                                            \
      (xcb_connection_t * c, uint8_t format, xcb_drawable_t drawable, xcb_gcontext_t gc,           \
       uint16_t width, uint16_t height, int16_t dst_x, int16_t dst_y, uint8_t left_pad,            \
       uint8_t depth, uint32_t data_len, const uint8_t* data),                                     \
      (c, format, drawable, gc, width, height, dst_x, dst_y, left_pad, depth, data_len, data))     \
    X(xcb_query_colors_cookie_t, xcb_query_colors,                                                 \
      (xcb_connection_t * c, xcb_colormap_t cmap, uint32_t pixels_len, const uint32_t* pixels),    \
      (c, cmap, pixels_len, pixels))                                                               \
    X(xcb_rgb_t*, xcb_query_colors_colors, (const xcb_query_colors_reply_t* R), (R))               \
    X(int, xcb_query_colors_colors_length, (const xcb_query_colors_reply_t* R), (R))               \
    X(xcb_query_colors_reply_t*, xcb_query_colors_reply,                                           \
      (xcb_connection_t * c, xcb_query_colors_cookie_t cookie, xcb_generic_error_t * *e),          \
      (c, cookie, e))                                                                              \
    X(xcb_generic_error_t*, xcb_request_check, (xcb_connection_t * c, xcb_void_cookie_t cookie),   \
      (c, cookie))                                                                                 \
    X(xcb_depth_iterator_t, xcb_screen_allowed_depths_iterator, (const xcb_screen_t* R), (R))      \
    X(void, xcb_screen_next, (xcb_screen_iterator_t * i), (i))                                     \
    X(xcb_void_cookie_t, xcb_send_event,                                                           \
      (xcb_connection_t * c, uint8_t propagate, xcb_window_t destination, uint32_t event_mask,     \
       const char* event),                                                                         \
      (c, propagate, destination, event_mask, event))                                              \
    X(xcb_void_cookie_t, xcb_set_selection_owner,                                                  \
      (xcb_connection_t * c, xcb_window_t owner, xcb_atom_t selection, xcb_timestamp_t time),      \
      (c, owner, selection, time))                                                                 \
    X(xcb_format_iterator_t, xcb_setup_pixmap_formats_iterator, (const xcb_setup_t* R), (R))       \
    X(xcb_screen_iterator_t, xcb_setup_roots_iterator, (const xcb_setup_t* R), (R))                \
    X(xcb_void_cookie_t, xcb_shm_attach_checked,                                                   \
      (xcb_connection_t * c, xcb_shm_seg_t shmseg, uint32_t shmid, uint8_t read_only),             \
      (c, shmseg, shmid, read_only))                                                               \
    X(xcb_void_cookie_t, xcb_shm_detach, (xcb_connection_t * c, xcb_shm_seg_t shmseg),             \
      (c, shmseg))                                                                                 \
    X(xcb_void_cookie_t, xcb_shm_put_image,                                                        \
      (xcb_connection_t * c, xcb_drawable_t drawable, xcb_gcontext_t gc, uint16_t total_width,     \
       uint16_t total_height, uint16_t src_x, uint16_t src_y, uint16_t src_width,                  \
       uint16_t src_height, int16_t dst_x, int16_t dst_y, uint8_t depth, uint8_t format,           \
       uint8_t send_event, xcb_shm_seg_t shmseg, uint32_t offset),                                 \
      (c, drawable, gc, total_width, total_height, src_x, src_y, src_width, src_height, dst_x,     \
       dst_y, depth, format, send_event, shmseg, offset))                                          \
    X(xcb_void_cookie_t, xcb_store_colors,                                                         \
      (xcb_connection_t * c, xcb_colormap_t cmap, uint32_t items_len,                              \
       const xcb_coloritem_t* items),                                                              \
      (c, cmap, items_len, items))                                                                 \
    X(xcb_translate_coordinates_cookie_t, xcb_translate_coordinates,                               \
      (xcb_connection_t * c, xcb_window_t src_window, xcb_window_t dst_window, int16_t src_x,      \
       int16_t src_y),                                                                             \
      (c, src_window, dst_window, src_x, src_y))                                                   \
    X(xcb_translate_coordinates_reply_t*, xcb_translate_coordinates_reply,                         \
      (xcb_connection_t * c, xcb_translate_coordinates_cookie_t cookie, xcb_generic_error_t * *e), \
      (c, cookie, e))                                                                              \
    X(void, xcb_visualtype_next, (xcb_visualtype_iterator_t * i), (i))                             \
    X(xcb_generic_event_t*, xcb_wait_for_event, (xcb_connection_t * c), (c))

namespace {

enum XcbFunction : unsigned {
#define ORVEL_XCB_INDEX(result, name, parameters, arguments) k_##name,
    ORVEL_XCB_FUNCTIONS(ORVEL_XCB_INDEX)
#undef ORVEL_XCB_INDEX
        kXcbFunctionCount
};

constexpr const char* kXcbNames[kXcbFunctionCount] = {
#define ORVEL_XCB_NAME(result, name, parameters, arguments) #name,
    ORVEL_XCB_FUNCTIONS(ORVEL_XCB_NAME)
#undef ORVEL_XCB_NAME
};

// Written once, before LoadXcb first returns true; read only after that.
void* g_xcbFunctions[kXcbFunctionCount] = {};
xcb_extension_t* g_shmExtension = nullptr;

bool Load() noexcept {
    // The sonames are the libraries' interfaces, unchanged since their first releases.
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    void* shm = xcb != nullptr ? dlopen("libxcb-shm.so.0", RTLD_NOW | RTLD_LOCAL) : nullptr;
    bool complete = shm != nullptr;
    for (unsigned i = 0; complete && i < kXcbFunctionCount; ++i) {
        void* function = dlsym(xcb, kXcbNames[i]);
        g_xcbFunctions[i] = function != nullptr ? function : dlsym(shm, kXcbNames[i]);
        complete = g_xcbFunctions[i] != nullptr;
    }
    // libxcb keeps an extension's data under the address of its key, the key libxcb-shm's own
    // requests use.
    g_shmExtension = complete ? static_cast<xcb_extension_t*>(dlsym(shm, "xcb_shm_id")) : nullptr;
    complete = complete && g_shmExtension != nullptr;
    if (!complete) {
        if (shm != nullptr) {
            dlclose(shm);
        }
        if (xcb != nullptr) {
            dlclose(xcb);
        }
        return false;
    }
    return true; // both stay loaded for the rest of the process
}

} // namespace

namespace orvel::platform::detail {

bool LoadXcb() noexcept {
    static const bool loaded = Load();
    return loaded;
}

xcb_extension_t* XcbShmExtension() noexcept {
    return g_shmExtension;
}

} // namespace orvel::platform::detail

// The forwards, under the xcb names (hidden, as everything of the platform not exported): each
// must match the xcb headers' declaration, which the compiler checks.
extern "C" {
// A result type and a parameter list cannot be put in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define ORVEL_XCB_FORWARD(result, name, parameters, arguments)                                     \
    result name parameters {                                                                       \
        return reinterpret_cast<result(*) parameters>(g_xcbFunctions[k_##name]) arguments;         \
    }
// NOLINTEND(bugprone-macro-parentheses)
ORVEL_XCB_FUNCTIONS(ORVEL_XCB_FORWARD)
#undef ORVEL_XCB_FORWARD
}
