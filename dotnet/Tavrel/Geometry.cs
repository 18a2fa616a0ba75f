// Geometry of a model and action, answered by the kit from the library's own
// classification.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    public partial struct Geometry
    {
        /// <summary>Band edges, target areas and motor use of model 0..2, action 0..10.</summary>
        public static Geometry Of(int model, int action)
        {
            Arguments.ModelAction(model, action);
            var geometry = new Geometry
            {
                Size = (uint)Marshal.SizeOf(typeof(Geometry)),
                Target = new int[Kit.AreaCount],
                Motor = new int[Kit.MotorCount],
            };
            Errors.Check(Native.tvk_geometry(model, action, ref geometry), nameof(Native.tvk_geometry));
            return geometry;
        }

        /// <summary>The area the library gives the point (x, y).</summary>
        public static Area AreaOf(int model, int action, float x, float y)
        {
            Arguments.ModelAction(model, action);
            return (Area)Errors.Check(Native.tvk_area_of(model, action, x, y), nameof(Native.tvk_area_of));
        }

        /// <summary>True when the library counts the point (x, y) as arrived.</summary>
        public static bool InTarget(int model, int action, float x, float y)
        {
            Arguments.ModelAction(model, action);
            return Errors.Check(Native.tvk_in_target(model, action, x, y), nameof(Native.tvk_in_target)) == 1;
        }

        /// <summary>
        /// A point in no target area; width and height are the platform's
        /// extent (0 when unknown).
        /// </summary>
        public static void StartPoint(int model, int action, float width, float height,
                                      out float x, out float y)
        {
            Arguments.ModelAction(model, action);
            Errors.Check(Native.tvk_start_point(model, action, width, height, out x, out y),
                         nameof(Native.tvk_start_point));
        }

        /// <summary>True when area is one of the action's targets.</summary>
        public bool IsTarget(Area area) => Target[(int)area] != 0;
    }

    /// <summary>Argument checks made before a call reaches C.</summary>
    static class Arguments
    {
        public static void ModelAction(int model, int action)
        {
            if (model < 0 || model >= Kit.ModelCount)
                throw new ArgumentOutOfRangeException(nameof(model), model, "models are 0, 1 and 2");
            if (action < 0 || action >= Kit.ActionCount)
                throw new ArgumentOutOfRangeException(nameof(action), action, "actions are 0 to 10");
        }
    }
}
