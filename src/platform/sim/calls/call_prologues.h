// What each platform operation of the simulated machine does before its
// work, one row an operation of platform_operations.def: the names of its
// arguments, and how the prologue of calls/prologue.cpp treats it.
//   PROLOGUE    counts the call, then answers the injected fault (or the
//               stopped machine's error) with the statement in the row;
//               otherwise the call's work runs. A call that clears an
//               out-parameter first clears it on a fault too.
//   COUNT_ONLY  counts the call and always does its work: these calls give
//               nothing to fail (Sleep, GetTickCount, GetCurrentProcessId,
//               ExitProcess, SetupCloseInfFile).
//   BY_HAND     written whole in calls/: GetLastError and SetLastError are
//               no calls of their own to count or fail, and a failing
//               CryptGenRandom still draws its bytes
//               (calls/message_box_and_clock.cpp).
// An operation without a row does not compile.
#pragma once

// clang-format off

// --- Last error ---------------------------------------------------------------
#define CVL_SIM_CALL_GetLastError BY_HAND, (), ()
#define CVL_SIM_CALL_SetLastError BY_HAND, (error), ()

// --- Version report -------------------------------------------------------------
#define CVL_SIM_CALL_GetVersionExW PROLOGUE, (info), (return machine_->FailWith(*error);)

// --- Registry -------------------------------------------------------------------
#define CVL_SIM_CALL_RegOpenKeyExW PROLOGUE, (key, subKey, options, sam, result), (return static_cast<LSTATUS>(*error);)
#define CVL_SIM_CALL_RegCreateKeyExW PROLOGUE, (key, subKey, options, sam, result, disposition), (return static_cast<LSTATUS>(*error);)
#define CVL_SIM_CALL_RegQueryValueExW PROLOGUE, (key, valueName, type, data, dataSize), (return static_cast<LSTATUS>(*error);)
#define CVL_SIM_CALL_RegSetValueExW PROLOGUE, (key, valueName, type, data, dataSize), (return static_cast<LSTATUS>(*error);)
#define CVL_SIM_CALL_RegDeleteKeyW PROLOGUE, (key, subKey), (return static_cast<LSTATUS>(*error);)
#define CVL_SIM_CALL_RegDeleteValueW PROLOGUE, (key, valueName), (return static_cast<LSTATUS>(*error);)
#define CVL_SIM_CALL_RegEnumKeyExW PROLOGUE, (key, index, name, nameSize), (return static_cast<LSTATUS>(*error);)
#define CVL_SIM_CALL_RegEnumValueW PROLOGUE, (key, index, name, nameSize, type, data, dataSize), (return static_cast<LSTATUS>(*error);)
#define CVL_SIM_CALL_RegCloseKey PROLOGUE, (key), (return static_cast<LSTATUS>(*error);)

// --- Files and system -----------------------------------------------------------
#define CVL_SIM_CALL_GetModuleFileNameW PROLOGUE, (buffer, size), (return machine_->Fail(*error, DWORD{0});)
#define CVL_SIM_CALL_GetTempPathW PROLOGUE, (size, buffer), (return machine_->Fail(*error, DWORD{0});)
#define CVL_SIM_CALL_GetWindowsDirectoryW PROLOGUE, (buffer, size), (return machine_->Fail(*error, DWORD{0});)
#define CVL_SIM_CALL_GetSystemDirectoryW PROLOGUE, (buffer, size), (return machine_->Fail(*error, DWORD{0});)
#define CVL_SIM_CALL_GetCurrentDirectoryW PROLOGUE, (size, buffer), (return machine_->Fail(*error, DWORD{0});)
#define CVL_SIM_CALL_CopyFileW PROLOGUE, (existing, target, failIfExists), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_CreateFileW PROLOGUE, (path, access, shareMode, creationDisposition, flagsAndAttributes), (return machine_->Fail(*error, InvalidHandleValue());)
#define CVL_SIM_CALL_WriteFile PROLOGUE, (file, data, size, written), (if (written != nullptr) *written = 0; return machine_->FailWith(*error);)
#define CVL_SIM_CALL_MoveFileExW PROLOGUE, (existing, target, flags), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_DeleteFileW PROLOGUE, (path), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetFileAttributesW PROLOGUE, (path, attributes), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_GetFileAttributesW PROLOGUE, (path), (return machine_->Fail(*error, INVALID_FILE_ATTRIBUTES);)
#define CVL_SIM_CALL_FindFirstFileW PROLOGUE, (pattern, data), (return machine_->Fail(*error, InvalidHandleValue());)
#define CVL_SIM_CALL_FindNextFileW PROLOGUE, (find, data), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_FindClose PROLOGUE, (find), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_LocalAlloc PROLOGUE, (flags, bytes), (return machine_->Fail(*error, HLOCAL{nullptr});)
#define CVL_SIM_CALL_LocalFree PROLOGUE, (memory), (return machine_->Fail(*error, memory);)

// --- Processes ------------------------------------------------------------------
#define CVL_SIM_CALL_CreateProcessW PROLOGUE, (applicationName, commandLine, inheritHandles, creationFlags, startupInfo, info), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_WaitForSingleObject PROLOGUE, (handle, milliseconds), (return machine_->Fail(*error, WAIT_FAILED);)
#define CVL_SIM_CALL_GetExitCodeProcess PROLOGUE, (process, exitCode), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_OpenProcess PROLOGUE, (access, inheritHandle, processId), (return machine_->Fail(*error, HANDLE{nullptr});)
#define CVL_SIM_CALL_GetCurrentProcessId COUNT_ONLY, (), ()
#define CVL_SIM_CALL_CloseHandle PROLOGUE, (handle), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_ExitProcess COUNT_ONLY, (exitCode), ()

// --- Message box and clock --------------------------------------------------------
#define CVL_SIM_CALL_MessageBoxW PROLOGUE, (text, caption, type), (return machine_->Fail(*error, 0);)
#define CVL_SIM_CALL_Sleep COUNT_ONLY, (milliseconds), ()
#define CVL_SIM_CALL_GetTickCount COUNT_ONLY, (), ()
#define CVL_SIM_CALL_CryptGenRandom BY_HAND, (length, buffer), ()

// --- Device lists, properties and keys --------------------------------------------
#define CVL_SIM_CALL_SetupDiGetClassDevsW PROLOGUE, (classGuid, enumerator, flags), (return machine_->Fail(*error, InvalidHandleValue());)
#define CVL_SIM_CALL_SetupDiClassGuidsFromNameW PROLOGUE, (className, guidList, guidListSize, requiredSize), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupDiEnumDeviceInfo PROLOGUE, (list, index, data), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupDiDestroyDeviceInfoList PROLOGUE, (list), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupDiGetDeviceInstanceIdW PROLOGUE, (list, data, buffer, bufferSize, requiredSize), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupDiGetDeviceRegistryPropertyW PROLOGUE, (list, data, property, regType, buffer, bufferSize, requiredSize), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupDiOpenDevRegKey PROLOGUE, (list, data, scope, hwProfile, keyType, sam), (return machine_->Fail(*error, static_cast<HKEY>(InvalidHandleValue()));)
#define CVL_SIM_CALL_SetupDiDeleteDevRegKey PROLOGUE, (list, data, scope, hwProfile, keyType), (return machine_->FailWith(*error);)

// --- Class installer ----------------------------------------------------------------
#define CVL_SIM_CALL_SetupDiSetClassInstallParamsW PROLOGUE, (list, data, params), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupDiCallClassInstaller PROLOGUE, (installFunction, list, data), (return machine_->FailWith(*error);)

// --- Device tree ----------------------------------------------------------------------
#define CVL_SIM_CALL_CM_Get_DevNode_Status PROLOGUE, (status, problem, devInst, flags), (return *error;)
#define CVL_SIM_CALL_CM_Connect_MachineW PROLOGUE, (machineName, machine), (return *error;)
#define CVL_SIM_CALL_CM_Locate_DevNode_ExW PROLOGUE, (devInst, deviceId, flags, machine), (return *error;)
#define CVL_SIM_CALL_CM_Reenumerate_DevNode_Ex PROLOGUE, (devInst, flags, machine), (return *error;)
#define CVL_SIM_CALL_CM_Disconnect_Machine PROLOGUE, (machine), (return *error;)

// --- Driver store and sources -----------------------------------------------------------
#define CVL_SIM_CALL_SetupCopyOEMInfW PROLOGUE, (sourceInf, mediaLocation, mediaType, copyStyle, destination, destinationSize, requiredSize), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupAddToSourceListW PROLOGUE, (flags, source), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupRemoveFromSourceListW PROLOGUE, (flags, source), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_UpdateDriverForPlugAndPlayDevicesW PROLOGUE, (hardwareId, fullInfPath, flags, rebootRequired), (if (rebootRequired != nullptr) *rebootRequired = FALSE; return machine_->FailWith(*error);)

// --- INF reading ------------------------------------------------------------------------
#define CVL_SIM_CALL_SetupOpenInfFileW PROLOGUE, (fileName, infClass, infStyle, errorLine), (if (errorLine != nullptr) *errorLine = 0; return machine_->Fail(*error, InvalidHandleValue());)
#define CVL_SIM_CALL_SetupCloseInfFile COUNT_ONLY, (inf), ()
#define CVL_SIM_CALL_SetupFindFirstLineW PROLOGUE, (inf, section, key, context), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupFindNextLine PROLOGUE, (contextIn, contextOut), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupGetStringFieldW PROLOGUE, (context, fieldIndex, buffer, bufferSize, requiredSize), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_SetupGetInfFileListW PROLOGUE, (directory, infStyle, buffer, bufferSize, requiredSize), (return machine_->FailWith(*error);)

// --- Services ---------------------------------------------------------------------------
#define CVL_SIM_CALL_OpenSCManagerW PROLOGUE, (machineName, databaseName, access), (return machine_->Fail(*error, SC_HANDLE{nullptr});)
#define CVL_SIM_CALL_OpenServiceW PROLOGUE, (manager, serviceName, access), (return machine_->Fail(*error, SC_HANDLE{nullptr});)
#define CVL_SIM_CALL_QueryServiceConfigW PROLOGUE, (service, config, bufferSize, bytesNeeded), (return machine_->FailWith(*error);)
#define CVL_SIM_CALL_CloseServiceHandle PROLOGUE, (handle), (return machine_->FailWith(*error);)
// clang-format on
