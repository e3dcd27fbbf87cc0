/* A thin kernel-mode driver for Wine: a root-enumerated device of the Quenwick interface
 * class that hands every open, device-control request and close to a user-mode bridge over a
 * named pipe, and completes each with the bridge's answer. The bridge speaks the host wire
 * protocol to a driver program (quenwick-sim or another), so that program serves the Windows
 * build as it serves the host build.
 *
 * Pipe message from the driver: u32 op (1 open, 2 request, 3 close), u64 handle (the file
 * object), u32 code, u32 inputSize, u32 outputCapacity, then the input bytes.
 * Each message has a pipe connection of its own, in byte mode.
 * Answer: u32 result (1 TRUE, 0 FALSE), u32 lastError, u32 returned, then the returned bytes.
 *
 * A FALSE answer becomes a status of the Win32 facility, which the I/O manager turns back into
 * the same last error: 0x8007xxxx (a warning) when it carries bytes, so that they reach the
 * caller as a buffered request that overflows; 0xC007xxxx when it carries none. */
#include <ddk/wdm.h>

/* From kernelbase.dll: the user-mode calls this driver makes to reach the bridge (see the
 * build). */
__declspec(dllimport) void* __stdcall CreateFileW(const WCHAR* name, ULONG access, ULONG share,
                                                  void* security, ULONG disposition, ULONG flags,
                                                  void* templateFile);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* buffer, ULONG size,
                                              ULONG* written, void* overlapped);
__declspec(dllimport) int __stdcall ReadFile(void* file, void* buffer, ULONG size, ULONG* read,
                                             void* overlapped);
__declspec(dllimport) int __stdcall CloseHandle(void* handle);
__declspec(dllimport) int __stdcall WaitNamedPipeW(const WCHAR* name, ULONG timeout);
__declspec(dllimport) ULONG __stdcall GetLastError(void);

#define kGenericReadWrite 0xC0000000u
#define kOpenExisting 3
#define kPipeBusy 231

static const GUID kInterfaceClass = {
    0x4F7C2B9E, 0x1D3A, 0x4E86, {0x9B, 0x5F, 0xA2, 0xC8, 0xE0, 0xD4, 0x76, 0x13}};
static const WCHAR kPipe[] = L"\\\\.\\pipe\\tollvane-quenwick";

#define kHeaderBytes 24
#define kAnswerBytes 12
#define kMaxData (1024 * 1024)

struct Extension {
    DEVICE_OBJECT* lower;
    DEVICE_OBJECT* pdo;
    UNICODE_STRING interfaceName;
};

static void Store32(UCHAR* p, ULONG v) {
    p[0] = (UCHAR)v;
    p[1] = (UCHAR)(v >> 8);
    p[2] = (UCHAR)(v >> 16);
    p[3] = (UCHAR)(v >> 24);
}

static ULONG Load32(const UCHAR* p) {
    return (ULONG)p[0] | ((ULONG)p[1] << 8) | ((ULONG)p[2] << 16) | ((ULONG)p[3] << 24);
}

static NTSTATUS Win32Status(ULONG error, BOOLEAN withBytes) {
    return (NTSTATUS)((withBytes ? 0x80070000u : 0xC0070000u) | (error & 0xFFFF));
}

/* Reads until `size` bytes have come or the bridge closed the pipe. */
static ULONG ReadUpTo(void* pipe, UCHAR* buffer, ULONG size) {
    ULONG total = 0;
    while (total < size) {
        ULONG n = 0;
        if (!ReadFile(pipe, buffer + total, size - total, &n, NULL) || n == 0) {
            break;
        }
        total += n;
    }
    return total;
}

/* Sends one message over a connection of its own and reads the whole answer. */
static int Exchange(const UCHAR* message, ULONG size, UCHAR* answer, ULONG room, ULONG* read) {
    void* pipe = (void*)(LONG_PTR)-1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        pipe = CreateFileW(kPipe, kGenericReadWrite, 0, NULL, kOpenExisting, 0, NULL);
        if (pipe != (void*)(LONG_PTR)-1 || GetLastError() != kPipeBusy) {
            break;
        }
        WaitNamedPipeW(kPipe, 30000);
    }
    if (pipe == (void*)(LONG_PTR)-1) {
        return 0;
    }
    ULONG written = 0;
    int ok = WriteFile(pipe, message, size, &written, NULL) && written == size;
    *read = 0;
    if (ok) {
        *read = ReadUpTo(pipe, answer, kAnswerBytes);
        if (*read == kAnswerBytes) {
            ULONG returned = Load32(answer + 8);
            if (returned > room - kAnswerBytes) {
                returned = room - kAnswerBytes;
            }
            *read += ReadUpTo(pipe, answer + kAnswerBytes, returned);
        }
    }
    CloseHandle(pipe);
    return ok;
}

/* One exchange with the bridge; the IRP's status and information from its answer. */
static NTSTATUS Forward(ULONG op, FILE_OBJECT* file, ULONG code, const void* input, ULONG inputSize,
                        void* output, ULONG outputCapacity, ULONG_PTR* information) {
    *information = 0;
    if (inputSize > kMaxData || outputCapacity > kMaxData) {
        return STATUS_INVALID_PARAMETER;
    }
    UCHAR* message = ExAllocatePoolWithTag(PagedPool, kHeaderBytes + inputSize, 0x6B77714Du);
    UCHAR* answer = ExAllocatePoolWithTag(PagedPool, kAnswerBytes + outputCapacity, 0x6B77714Du);
    NTSTATUS status = STATUS_DEVICE_NOT_CONNECTED;
    if (message == NULL || answer == NULL) {
        status = STATUS_INSUFFICIENT_RESOURCES;
        goto done;
    }
    ULONG64 handle = (ULONG64)(ULONG_PTR)file;
    Store32(message, op);
    Store32(message + 4, (ULONG)handle);
    Store32(message + 8, (ULONG)(handle >> 32));
    Store32(message + 12, code);
    Store32(message + 16, inputSize);
    Store32(message + 20, outputCapacity);
    if (inputSize > 0) {
        RtlCopyMemory(message + kHeaderBytes, input, inputSize);
    }
    ULONG read = 0;
    if (!Exchange(message, kHeaderBytes + inputSize, answer, kAnswerBytes + outputCapacity,
                  &read) ||
        read < kAnswerBytes) {
        goto done;
    }
    const ULONG result = Load32(answer);
    const ULONG lastError = Load32(answer + 4);
    ULONG returned = Load32(answer + 8);
    if (returned > outputCapacity || returned > read - kAnswerBytes) {
        status = Win32Status(31 /* ERROR_GEN_FAILURE */, FALSE);
        goto done;
    }
    if (returned > 0) {
        RtlCopyMemory(output, answer + kAnswerBytes, returned);
    }
    *information = returned;
    if (result) {
        status = STATUS_SUCCESS;
    } else {
        status = Win32Status(lastError, returned > 0);
        if (returned == 0) {
            *information = 0;
        }
    }
done:
    if (message != NULL) {
        ExFreePool(message);
    }
    if (answer != NULL) {
        ExFreePool(answer);
    }
    return status;
}

static NTSTATUS Complete(IRP* irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS __stdcall DispatchCreate(DEVICE_OBJECT* device, IRP* irp) {
    (void)device;
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    ULONG_PTR information = 0;
    return Complete(irp, Forward(1, stack->FileObject, 0, NULL, 0, NULL, 0, &information), 0);
}

static NTSTATUS __stdcall DispatchClose(DEVICE_OBJECT* device, IRP* irp) {
    (void)device;
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    ULONG_PTR information = 0;
    Forward(3, stack->FileObject, 0, NULL, 0, NULL, 0, &information);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS __stdcall DispatchControl(DEVICE_OBJECT* device, IRP* irp) {
    (void)device;
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inputSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outputCapacity = stack->Parameters.DeviceIoControl.OutputBufferLength;
    /* METHOD_BUFFERED: one system buffer holds the input, then receives the output. */
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR information = 0;
    const NTSTATUS status = Forward(2, stack->FileObject, code, buffer, inputSize, buffer,
                                    outputCapacity, &information);
    return Complete(irp, status, information);
}

static NTSTATUS __stdcall DispatchPnp(DEVICE_OBJECT* device, IRP* irp) {
    struct Extension* ext = device->DeviceExtension;
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->MinorFunction) {
        case IRP_MN_START_DEVICE:
            IoSetDeviceInterfaceState(&ext->interfaceName, TRUE);
            irp->IoStatus.Status = STATUS_SUCCESS;
            break;
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_STOP_DEVICE:
            irp->IoStatus.Status = STATUS_SUCCESS;
            break;
        case IRP_MN_REMOVE_DEVICE: {
            IoSetDeviceInterfaceState(&ext->interfaceName, FALSE);
            irp->IoStatus.Status = STATUS_SUCCESS;
            IoSkipCurrentIrpStackLocation(irp);
            NTSTATUS status = IoCallDriver(ext->lower, irp);
            IoDetachDevice(ext->lower);
            RtlFreeUnicodeString(&ext->interfaceName);
            IoDeleteDevice(device);
            return status;
        }
        default:
            break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(ext->lower, irp);
}

static NTSTATUS __stdcall DispatchPower(DEVICE_OBJECT* device, IRP* irp) {
    struct Extension* ext = device->DeviceExtension;
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(ext->lower, irp);
}

static NTSTATUS __stdcall AddDevice(DRIVER_OBJECT* driver, DEVICE_OBJECT* pdo) {
    DEVICE_OBJECT* fdo = NULL;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(struct Extension), NULL, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    struct Extension* ext = fdo->DeviceExtension;
    RtlZeroMemory(ext, sizeof *ext);
    ext->pdo = pdo;
    status = IoRegisterDeviceInterface(pdo, &kInterfaceClass, NULL, &ext->interfaceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(fdo);
        return status;
    }
    ext->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    fdo->Flags |= DO_BUFFERED_IO;
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void __stdcall Unload(DRIVER_OBJECT* driver) {
    (void)driver;
}

NTSTATUS __stdcall DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* registry) {
    (void)registry;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    return STATUS_SUCCESS;
}
