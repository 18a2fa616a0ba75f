// Host code the kit calls back: what it throws must not unwind through the
// kit's C frames. It is held on the thread, the kit told of a host error, and
// thrown again once the kit call that made the callback has returned.
using System;
using System.Runtime.ExceptionServices;
using System.Threading;

namespace Tavrel
{
    internal static class Callbacks
    {
        [ThreadStatic] static ExceptionDispatchInfo t_error;
        [ThreadStatic] static bool t_aborted;
        [ThreadStatic] static object t_abortState;

        /// <summary>
        /// Runs a callback's body: its result, or -1 when it throws or when an
        /// earlier callback of the same kit call threw (the rest are skipped).
        /// </summary>
        internal static int Guard(Func<int> body)
        {
            try
            {
                return t_error != null || t_aborted ? -1 : body();
            }
            catch (Exception error)
            {
                Hold(error);
                return -1;
            }
        }

        /// <summary>
        /// After a kit call that may have made callbacks: throws what they
        /// threw, then checks the call's result (of api's copy; null: the process's).
        /// </summary>
        internal static int Finish(int result, string function, KitApi api = null)
        {
            var error = t_error;
            bool aborted = t_aborted;
            object abortState = t_abortState;
            t_error = null;
            t_aborted = false;
            t_abortState = null;
            if (aborted)
                Thread.CurrentThread.Abort(abortState);
            error?.Throw();
            return Errors.Check(result, function, api);
        }

        static void Hold(Exception error)
        {
            if (error is ThreadAbortException abort)
            {
                // Unwound through the kit, an abort would leave it inside a
                // callback for good: the kit returns first, the abort follows.
                t_aborted = true;
                t_abortState = abort.ExceptionState;
                Thread.ResetAbort();
            }
            else if (t_error == null)
            {
                t_error = ExceptionDispatchInfo.Capture(error);
            }
        }
    }
}
