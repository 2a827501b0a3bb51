"""The exceptions and warnings of the dravik package."""


class SceneError(ValueError):
    """A scene that cannot be loaded or built as written.

    The message names what is wrong and where, as ``dravik run`` does.
    ``path`` is the JSON path at fault (``"/channels/3/links/b"``), or None
    when the fault has none (JSON syntax, a damaged saved file); ``file`` is
    the file the scene came from, or None for a scene given as a dict.
    """

    def __init__(self, message, path=None, file=None):
        super().__init__(message)
        self.path = path
        self.file = file


class SceneWarning(UserWarning):
    """Something in a scene that loads but will not work as written.

    For example an event after the last frame, which never happens, or a
    channel module that was refused.
    """
