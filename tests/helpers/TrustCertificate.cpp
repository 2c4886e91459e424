// trustcert.exe add|remove FILE: puts the certificate in FILE (PEM or DER)
// into the machine's Root store of the prefix it runs in, or takes it out
// again, so that a test's private certificate authority is trusted there the
// way a real machine trusts its authorities. Exit code 0 on success; 2 for a
// wrong command line, 3 for a file that holds no certificate, 4 when the
// store refuses.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& bytes)
{
    HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 20);
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
             read == bytes.size();
    }
    ::CloseHandle(file);
    return ok;
}

// The DER bytes of the first certificate: PEM is decoded, DER taken as is.
std::vector<BYTE> CertificateBytes(const std::vector<BYTE>& file)
{
    const std::string text(file.begin(), file.end());
    if (text.find("-----BEGIN CERTIFICATE-----") == std::string::npos)
        return file;
    DWORD size = 0;
    if (!::CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                &size, nullptr, nullptr))
        return {};
    std::vector<BYTE> der(size);
    if (!::CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                                &size, nullptr, nullptr))
        return {};
    der.resize(size);
    return der;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 || (lstrcmpW(argv[1], L"add") != 0 && lstrcmpW(argv[1], L"remove") != 0)) {
        std::fprintf(stderr, "usage: trustcert add|remove FILE\n");
        return 2;
    }
    const bool add = lstrcmpW(argv[1], L"add") == 0;
    std::vector<BYTE> file;
    if (!ReadWholeFile(argv[2], file)) {
        std::fprintf(stderr, "trustcert: cannot read %ls\n", argv[2]);
        return 3;
    }
    const std::vector<BYTE> der = CertificateBytes(file);
    PCCERT_CONTEXT certificate =
        der.empty() ? nullptr
                    : ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    if (!certificate) {
        std::fprintf(stderr, "trustcert: %ls holds no certificate\n", argv[2]);
        return 3;
    }

    HCERTSTORE root = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    int result = 4;
    if (!root) {
        std::fprintf(stderr, "trustcert: the machine's Root store cannot be opened (%lu)\n", ::GetLastError());
    } else if (add) {
        if (::CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                               CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
            result = 0;
        else
            std::fprintf(stderr, "trustcert: the Root store refused the certificate (%lu)\n", ::GetLastError());
    } else {
        // Absent already is as good as removed.
        result = 0;
        if (PCCERT_CONTEXT found = ::CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                                                 certificate, nullptr)) {
            if (!::CertDeleteCertificateFromStore(found)) {
                std::fprintf(stderr, "trustcert: the certificate could not be removed (%lu)\n", ::GetLastError());
                result = 4;
            }
        }
    }
    if (root)
        ::CertCloseStore(root, 0);
    ::CertFreeCertificateContext(certificate);
    return result;
}
