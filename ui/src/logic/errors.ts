// A rejection reaches the user as the sentence the desktop side wrote, never as an object.

const fallback = "The request could not be completed.";

export function messageOf(error: unknown): string {
  if (typeof error === "string") return error.trim() || fallback;
  if (error !== null && typeof error === "object") {
    const message = (error as { message?: unknown }).message;
    if (typeof message === "string" && message.trim() !== "") return message;
  }
  return fallback;
}

