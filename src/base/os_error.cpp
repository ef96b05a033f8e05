#include "os_error.h"

#include <cstring>

namespace qvlink {
namespace {

struct ErrnoKind {
    std::errc error;
    StatusKind kind;
};

// Named through std::errc so that the table holds on every system, where some of these values
// coincide (EAGAIN and EWOULDBLOCK); the first entry that matches decides.
constexpr ErrnoKind ERRNO_KINDS[] = {
    {std::errc::no_such_file_or_directory, StatusKind::NotFound},
    {std::errc::no_such_device, StatusKind::NotFound},
    {std::errc::no_such_device_or_address, StatusKind::NotFound},
    {std::errc::not_a_directory, StatusKind::NotFound},
    {std::errc::device_or_resource_busy, StatusKind::InUse},
    // A lock another holder keeps (flock without waiting), or a device held exclusively.
    {std::errc::resource_unavailable_try_again, StatusKind::InUse},
    {std::errc::operation_would_block, StatusKind::InUse},
    {std::errc::text_file_busy, StatusKind::InUse},
    {std::errc::permission_denied, StatusKind::Denied},
    {std::errc::operation_not_permitted, StatusKind::Denied},
    {std::errc::read_only_file_system, StatusKind::Denied},
    {std::errc::invalid_argument, StatusKind::Invalid},
    {std::errc::result_out_of_range, StatusKind::Invalid},
    {std::errc::value_too_large, StatusKind::Invalid},
    {std::errc::file_too_large, StatusKind::Invalid},
    {std::errc::filename_too_long, StatusKind::Invalid},
    // Terminal calls on something that is no terminal: not a serial line.
    {std::errc::inappropriate_io_control_operation, StatusKind::Foreign},
    {std::errc::is_a_directory, StatusKind::Foreign},
    {std::errc::not_enough_memory, StatusKind::Exhausted},
    {std::errc::no_space_on_device, StatusKind::Exhausted},
    {std::errc::too_many_files_open, StatusKind::Exhausted},
    {std::errc::too_many_files_open_in_system, StatusKind::Exhausted},
    {std::errc::no_buffer_space, StatusKind::Exhausted},
    {std::errc::broken_pipe, StatusKind::Lost},
    {std::errc::connection_reset, StatusKind::Lost},
    {std::errc::connection_aborted, StatusKind::Lost},
    {std::errc::not_connected, StatusKind::Lost},
};

}  // namespace

StatusKind KindOfErrno(int error) {
    for (const ErrnoKind& entry : ERRNO_KINDS)
        if (static_cast<int>(entry.error) == error) return entry.kind;
    return StatusKind::Io;
}

StatusKind KindOfError(const std::error_code& error) {
    const std::error_condition condition = error.default_error_condition();
    return condition.category() == std::generic_category() ? KindOfErrno(condition.value())
                                                           : StatusKind::Io;
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

}  // namespace qvlink
