// Which files "tavrel" and "tavrel_hostkit" load. On Linux only the -dev
// package installs the unversioned libtavrel.so and libtavrel_hostkit.so: a
// host on the runtime package alone needs the versioned names. Mono maps them
// with Tavrel.dll.config beside Tavrel.dll; .NET Core asks the resolver set
// here. NativeLibrary is not in .NET Standard 2.0 or in Mono, hence
// reflection.
using System;
using System.Collections.Generic;
using System.Reflection;
using System.Runtime.InteropServices;

namespace Tavrel
{
    internal static class LibraryNames
    {
        static readonly Dictionary<string, string> Versioned = new Dictionary<string, string>
        {
            ["tavrel"] = "libtavrel.so.1",
            ["tavrel_hostkit"] = "libtavrel_hostkit.so.1",
            ["tavrel_recipes"] = "libtavrel_recipes.so.1",
        };

        static MethodInfo s_tryLoad;

        /// <summary>Where the runtime has NativeLibrary, on Linux: the versioned names first.</summary>
        internal static void UseVersionedOnLinux(Assembly assembly)
        {
            Type nativeLibrary = RuntimeType("System.Runtime.InteropServices.NativeLibrary");
            Type resolverType = RuntimeType("System.Runtime.InteropServices.DllImportResolver");
            if (nativeLibrary == null || resolverType == null || !OnLinux())
                return;
            s_tryLoad = nativeLibrary.GetMethod(
                "TryLoad", new[] { typeof(string), typeof(Assembly), typeof(DllImportSearchPath?),
                                   typeof(IntPtr).MakeByRefType() });
            MethodInfo setResolver = nativeLibrary.GetMethod("SetDllImportResolver");
            if (s_tryLoad == null || setResolver == null)
                return;
            var resolve = Delegate.CreateDelegate(
                resolverType, typeof(LibraryNames).GetMethod(nameof(Resolve),
                                                             BindingFlags.NonPublic | BindingFlags.Static));
            try
            {
                setResolver.Invoke(null, new object[] { assembly, resolve });
            }
            catch (TargetInvocationException error) when (error.InnerException is InvalidOperationException)
            {
                // The host set a resolver for this assembly first: it decides.
            }
        }

        // IntPtr.Zero leaves the name to the runtime's own search.
        static IntPtr Resolve(string name, Assembly assembly, DllImportSearchPath? searchPath)
        {
            if (!Versioned.TryGetValue(name, out string file))
                return IntPtr.Zero;
            var arguments = new object[] { file, assembly, searchPath, IntPtr.Zero };
            return (bool)s_tryLoad.Invoke(null, arguments) ? (IntPtr)arguments[3] : IntPtr.Zero;
        }

        static Type RuntimeType(string name) => typeof(Marshal).Assembly.GetType(name);

        static bool OnLinux() => RuntimeInformation.IsOSPlatform(OSPlatform.Linux);
    }
}
